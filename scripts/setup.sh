#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12 (run as root).
# Idempotent: when everything is present it only checks, in about a second.
# Prints one line per step; apt's own output goes to the log file.
set -euo pipefail

log=${QEV_SETUP_LOG:-/tmp/qev-setup.log}

packages=(
  cmake ninja-build g++                                  # host build
  googletest libgtest-dev                                # unit tests (host; sources for Windows)
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64         # Windows cross build
  wine64 wine                                            # running the Windows tree
  xvfb xdotool imagemagick                               # virtual display, dialog driving, screenshots
  zlib1g-dev libdeflate-dev                              # reference checksums and benchmarks
  clang libclang-rt-14-dev                               # sanitizer and fuzzing tree
  zip xz-utils brotli osslsigncode openssl nsis          # demo, packaging and comparison tools
  dpkg-dev man-db                                        # the Debian package of qev and its check
  tzdata                                                 # time zones of qev pack --timezone
  libxml2-utils locales                                  # manifest check; the Japanese locale for Wine
)

say() { echo "setup: $*"; }

missing=()
while read -r name status; do
  [ "$status" = "installed" ] || missing+=("$name")
done < <(for p in "${packages[@]}"; do
           printf '%s %s\n' "$p" "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || echo absent)"
         done)

if [ ${#missing[@]} -eq 0 ]; then
  say "all ${#packages[@]} packages present"
else
  if [ "$(id -u)" -ne 0 ]; then
    say "missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  say "installing ${#missing[@]} packages: ${missing[*]} (log: $log)"
  export DEBIAN_FRONTEND=noninteractive
  install() { apt-get install -y -q "${missing[@]}" >>"$log" 2>&1; }
  if ! install; then
    say "refreshing the package lists"
    apt-get update -q >>"$log" 2>&1 || { say "apt-get update failed, see $log" >&2; exit 1; }
    install || { say "apt-get install failed, see $log" >&2; exit 1; }
  fi
  say "installed"
fi

# Wine takes its ANSI code page from the Unix locale: the end-to-end tests run
# the installer under a Japanese one, which Debian's locales package makes.
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  say "locale ja_JP.UTF-8 present"
elif [ "$(id -u)" -ne 0 ]; then
  say "locale ja_JP.UTF-8 missing; run as root to make it" >&2
  exit 1
elif localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >>"$log" 2>&1; then
  say "locale ja_JP.UTF-8 made"
else
  say "localedef could not make ja_JP.UTF-8 (see $log)" >&2
  exit 1
fi

# The fuzz tree needs libFuzzer's runtime, which comes with clang's runtime package.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '%s\n' '#include <stddef.h>' '#include <stdint.h>' \
  'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' >"$probe/f.cpp"
if clang++ -fsanitize=fuzzer,address "$probe/f.cpp" -o "$probe/f" >>"$log" 2>&1; then
  say "clang links -fsanitize=fuzzer"
else
  say "clang cannot link -fsanitize=fuzzer (see $log)" >&2
  exit 1
fi
