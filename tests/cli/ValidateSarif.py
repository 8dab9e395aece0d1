#!/usr/bin/python3
"""Checks SARIF reports as code-scanning hosts read them: valid against the
OASIS SARIF 2.1.0 schema (formats such as uri-reference included); within
GitHub's limits (at most 25,000 results a run, 10 locations a result) and
with what its ingestion needs (every result in a file, at a start line);
with what Azure DevOps Advanced Security needs (every run's
automationDetails id, the driver's fullName, every rule's name).
Usage: ValidateSarif.py SCHEMA REPORT...; prints each complaint, exits 1 on any."""
import json
import sys

import jsonschema


def host_complaints(run):
    """What GitHub's and Azure DevOps' ingestion refuse in a run."""
    complaints = []
    if not (run.get("automationDetails") or {}).get("id"):
        complaints.append("a run without automationDetails.id")
    driver = run["tool"]["driver"]
    if not driver.get("fullName"):
        complaints.append("a driver without fullName")
    complaints += [f"rule {rule.get('id')} without a name" for rule in driver.get("rules", []) if not rule.get("name")]
    results = run.get("results", [])
    if len(results) > 25000:
        complaints.append(f"{len(results)} results in a run")
    for number, result in enumerate(results):
        locations = result.get("locations", [])
        if len(locations) > 10:
            complaints.append(f"result {number}: more than 10 locations")
        place = (locations or [{}])[0].get("physicalLocation", {})
        if not place.get("artifactLocation", {}).get("uri"):
            complaints.append(f"result {number}: no file")
        if not isinstance(place.get("region", {}).get("startLine"), int):
            complaints.append(f"result {number}: no start line")
    return complaints


schema = json.load(open(sys.argv[1], encoding="utf-8"))
validator = jsonschema.Draft4Validator(schema, format_checker=jsonschema.FormatChecker())
complaints = []
for report in sys.argv[2:]:
    log = json.load(open(report, encoding="utf-8"))
    complaints += [f"{report}: {error.json_path}: {error.message}" for error in validator.iter_errors(log)]
    for run in log.get("runs") or []:
        complaints += [f"{report}: {complaint}" for complaint in host_complaints(run)]
print("\n".join(complaints), end="")
sys.exit(1 if complaints else 0)
