#!/usr/bin/env bash
# Checks that the Windows programs are reproducible: builds Setup.exe and eiftool.exe (win64 and
# win32), with Crypto++ built from source, twice from fresh clones of HEAD in two different
# folders a few minutes apart, and compares them byte for byte. Exit status 0 only when they
# are identical. --keep leaves the two builds in place to look at a difference.
set -euo pipefail

keep=0
[ "${1:-}" = --keep ] && keep=1
repo=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$repo" rev-parse HEAD)
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  echo "note: uncommitted changes are not part of this check; it builds $commit" >&2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/websetup-repro.XXXXXX")
if [ $keep = 1 ]; then
  echo "keeping the builds in $work"
else
  trap 'rm -rf "$work"' EXIT
fi

presets=(win64 win32)
source_cache=${WEBSETUP_CACHE:-${HOME:-/root}/.cache/websetup}
programs=(Setup.exe eiftool.exe)
arches=(x86_64 i686)

# build <folder>: a fresh clone of the commit in <folder>/websetup and its Windows programs, with
# a Crypto++ cache of its own in <folder>/cache, so the library is built from source each time.
build() {
  local dir=$1 clone=$1/websetup log=$1/build.log
  mkdir -p "$dir"
  git clone -q --no-checkout "$repo" "$clone"
  git -C "$clone" checkout -q --detach "$commit"
  # set -e does not reach into a condition, hence each step's own exit.
  if ! (
    cd "$clone" || exit 1
    export WEBSETUP_CACHE=$dir/cache WEBSETUP_JOBS=${WEBSETUP_JOBS:-2}
    # The Debian source package that deps.sh already fetched, unpacked as it came, so the two
    # builds need no download; the library itself is built from it afresh each time.
    if [ -d "$source_cache/src" ]; then mkdir -p "$WEBSETUP_CACHE" && cp -a "$source_cache/src" "$WEBSETUP_CACHE/"; fi
    scripts/cryptopp-mingw.sh || exit 1
    for preset in "${presets[@]}"; do
      cmake --preset "$preset" -DWEBSETUP_WERROR=ON -DWEBSETUP_LANGUAGES=all || exit 1
      cmake --build --preset "$preset" --target Setup eiftool || exit 1
    done
  ) >"$log" 2>&1; then
    echo "the build in $dir failed:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
}

start=$(date +%s)
echo "== first build of $commit"
build "$work/a"
# Another folder at another depth, minutes later (the first build takes that long), under
# another time zone and umask, as on another machine: none of it may reach the programs.
echo "== second build, $(($(date +%s) - start)) s later"
(umask 0027 && TZ=XYZ-14 build "$work/second-build/from-scratch")
echo "== built twice in $(($(date +%s) - start)) s"

a=$work/a
b=$work/second-build/from-scratch
files=()
for preset in "${presets[@]}"; do
  for program in "${programs[@]}"; do files+=("websetup/build/$preset/bin/$program"); done
done
# The library is checked too: its build is part of the sources a published Setup.exe is
# checked against, and a difference in it may hide in a program only until it is linked.
for arch in "${arches[@]}"; do
  files+=("$(cd "$a" && echo cache/cryptopp-*-"$arch"/lib/libcryptopp.a)")
done

status=0
for file in "${files[@]}"; do
  sum_a=$(sha256sum "$a/$file" | cut -d' ' -f1)
  sum_b=$(sha256sum "$b/$file" | cut -d' ' -f1)
  if [ "$sum_a" = "$sum_b" ]; then
    echo "$sum_a  $file  identical"
  else
    status=1
    echo "$sum_a  $file  DIFFERS from $sum_b; first differing bytes (byte number from 1, octal a, octal b):"
    cmp -l "$a/$file" "$b/$file" | head -n 8 || true
  fi
done
if [ $status = 0 ]; then
  echo "reproducible: both builds of $commit are identical"
else
  echo "NOT reproducible: the two builds of $commit differ" >&2
fi
exit $status
