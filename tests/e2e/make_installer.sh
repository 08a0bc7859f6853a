#!/usr/bin/env bash
# Makes the demo installer that several end-to-end tests run: the sample
# product staged and packed with the host tool and the stub, into
# $QEV_E2E_WORK/installer/ (product/ is the staged tree, lumetra-setup.exe the
# installer).
set -eu
source "$(dirname "$0")/lib.sh"
WORK="$QEV_E2E_WORK/installer"
NAME=installer
require_tools
mkdir -p "$WORK"
stage_product "$WORK/product"
pack "$WORK/product" "$WORK/lumetra-setup.exe"
note "installer: $(stat -c %s "$WORK/lumetra-setup.exe") bytes"
"$QEV_HOST_TOOL" list "$WORK/lumetra-setup.exe" | sed 's/^/   /' || fail "qev list of the installer failed"
