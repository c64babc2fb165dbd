#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, unpacks them into a temporary root,
# checks that the -dbgsym packages hold the debug information of every packaged binary, builds
# the README's worked example against that root through find_package(moxxml) and through
# pkg-config, and runs both, the packaged moxmsg and the README's Python example on a bundled MDN.
# The source is copied to build/deb/moxxml first (what git tracks, plus new files it does not
# ignore), so the build folder and the packages land in build/deb, never in the tree.
#   MOXXML_PACKAGE_NOCHECK=1  build the packages without their test suite
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh lintian

out=build/deb
rm -rf "$out"
mkdir -p "$out/moxxml"
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$out/moxxml"

echo "== Debian packages"
options=()
[ -z "${MOXXML_PACKAGE_NOCHECK:-}" ] || options=(-Pnocheck)
start=$SECONDS
if ! (cd "$out/moxxml" && DEB_BUILD_OPTIONS="${MOXXML_PACKAGE_NOCHECK:+nocheck}" \
  dpkg-buildpackage -us -uc -b -J"$(nproc)" "${options[@]}") >"$out/build.log" 2>&1; then
  tail -n 60 "$out/build.log"
  echo "dpkg-buildpackage failed; the whole log is $out/build.log" >&2
  exit 1
fi
grep -E '^(dpkg-gensymbols|dpkg-shlibdeps): warning' "$out/build.log" || true
echo "built in $((SECONDS - start)) s (log: $out/build.log):"
debs=()
for package in libmoxxml0 libmoxxml-dev moxxml-tools python3-moxxml; do
  debs+=("$(ls "$out/${package}"_*.deb)")
done
for deb in "${debs[@]}"; do
  printf '  %-40s %7s bytes, %5s KiB installed\n' "$(basename "$deb")" "$(stat -c %s "$deb")" \
    "$(dpkg-deb -f "$deb" Installed-Size)"
done

echo "== lintian"
lintian --info --fail-on error,warning "$out"/moxxml_*.changes
echo "lintian: no error, no warning"

echo "== worked example against the unpacked packages"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "${debs[@]}"; do
  dpkg -x "$deb" "$root/pkg"
done
libdir=$(dirname "$(find "$root/pkg" -name 'libmoxxml.so.*' -type f)")
sample=examples/as2-mdn-rfc3798-1.eml
schema=$root/pkg/usr/share/moxxml/moxmsg.xsd

# dh_strip keeps the debug information of every packaged program, library and module in a
# -dbgsym package, under the file's build ID; a file stripped by its build has none.
for deb in "$out"/*-dbgsym_*.deb; do
  dpkg -x "$deb" "$root/dbgsym"
done
while IFS= read -r -d '' file; do
  id=$(readelf -n "$file" | sed -n 's/.*Build ID: \([0-9a-f]*\)/\1/p')
  if [ -z "$id" ] || [ ! -f "$root/dbgsym/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" ]; then
    echo "no -dbgsym package holds the debug information of ${file#"$root/pkg"}" >&2
    exit 1
  fi
done < <(find "$root/pkg" -type f \( -name '*.so*' -o -path '*/bin/*' \) -print0)

cmake -S examples -B "$root/cmake" -DCMAKE_PREFIX_PATH="$root/pkg/usr" >/dev/null
cmake --build "$root/cmake" >/dev/null
# moxxml.pc names the folders of an installed package, /usr/include and /usr/lib/<triplet>,
# which pkg-config leaves out as system folders: -lmoxxml alone, and with --static the
# libraries of Xerces-C++ after it.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
pkg-config --exists --print-errors moxxml
flags=$(pkg-config --cflags --libs moxxml | xargs)
static=$(pkg-config --static --cflags --libs moxxml | xargs)
expected=$(echo -lmoxxml "$(pkg-config --static --libs xerces-c)" | xargs)
if [ "$flags" != -lmoxxml ] || [ "$static" != "$expected" ]; then
  echo "pkg-config gives '$flags' and with --static '$static';" \
    "expected '-lmoxxml' and '$expected'" >&2
  exit 1
fi
# Here the packages lie under $root/pkg instead of /, which is what a sysroot says.
# shellcheck disable=SC2046
c++ -std=c++17 examples/worked_example.cpp -o "$root/pkg-config-example" \
  $(PKG_CONFIG_SYSROOT_DIR="$root/pkg" pkg-config --cflags --libs moxxml)

for example in "$root/cmake/worked_example" "$root/pkg-config-example"; do
  loaded=$(LD_LIBRARY_PATH="$libdir" ldd "$example" | awk '/libmoxxml/ {print $3}')
  case "$loaded" in
    "$libdir"/*) ;;
    *) echo "$example loads libmoxxml from '$loaded', not from the packages" >&2; exit 1 ;;
  esac
  LD_LIBRARY_PATH="$libdir" "$example" "$sample" | xmllint --noout --schema "$schema" -
done
LD_LIBRARY_PATH="$libdir" "$root/pkg/usr/bin/moxmsg" "$sample" | xmllint --noout --schema "$schema" -
LD_LIBRARY_PATH="$libdir" "$root/pkg/usr/bin/moxmsg" --version
zcat "$root/pkg/usr/share/man/man1/moxmsg.1.gz" | grep -q -e 'chunk\\-size'
# The README's Python example, on the packaged module and library only.
LD_LIBRARY_PATH="$libdir" PYTHONPATH="$root/pkg/usr/lib/python3/dist-packages" \
  /usr/bin/python3 -s python/examples/record_mdn.py "$sample" | xmllint --noout --schema "$schema" -
echo "worked example (find_package and pkg-config), moxmsg and the Python example ran on the packages"
