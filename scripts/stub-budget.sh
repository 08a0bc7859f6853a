#!/bin/sh
# Prints the stub's size budget in bytes: the archive offset that the
# configuration block presets (DEFAULT_ARCHIVE_OFFSET in shell/stub_config.h),
# the one place where the number is kept.
sed -n 's/^constexpr uint32_t DEFAULT_ARCHIVE_OFFSET = \(0x[0-9A-Fa-f]*\);.*/\1/p' \
  "$(dirname "$0")/../shell/stub_config.h" | { read -r hex && printf '%d\n' "$hex"; }
