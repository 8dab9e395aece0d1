#!/usr/bin/python3
"""Checks SARIF reports as code scanning reads them: valid against the OASIS
SARIF 2.1.0 schema (formats such as uri-reference included) and within
GitHub's limits (at most 25,000 results a run, 10 locations a result).
Usage: ValidateSarif.py SCHEMA REPORT...; prints each complaint, exits 1 on any."""
import json
import sys

import jsonschema

schema = json.load(open(sys.argv[1], encoding="utf-8"))
validator = jsonschema.Draft4Validator(schema, format_checker=jsonschema.FormatChecker())
complaints = []
for report in sys.argv[2:]:
    log = json.load(open(report, encoding="utf-8"))
    complaints += [f"{report}: {error.json_path}: {error.message}" for error in validator.iter_errors(log)]
    for run in log.get("runs") or []:
        results = run.get("results", [])
        if len(results) > 25000:
            complaints.append(f"{report}: {len(results)} results in a run")
        complaints += [f"{report}: a result with more than 10 locations"
                       for result in results if len(result.get("locations", [])) > 10]
print("\n".join(complaints), end="")
sys.exit(1 if complaints else 0)
