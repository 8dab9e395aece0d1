#!/usr/bin/env bash
# Runs a Windows program under Wine in the tests' 64-bit prefix: a 64-bit
# program, or a 32-bit one with `--32` ahead of it (see wine-run.sh).
export TAMBERLO_WINE_BITS=64
exec "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run.sh" "$@"
