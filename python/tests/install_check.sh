#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and runs the README's Python example from
# the installed package, with its stubs and py.typed beside it.
set -euo pipefail
build=$1 python=$2 packagedir=$3 source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
package=$work/prefix/$packagedir/moxxml
for file in __init__.py __init__.pyi _types.py py.typed; do
  test -f "$package/$file" || { echo "not installed: $package/$file"; exit 1; }
done
libdir=$(dirname "$(find "$work/prefix" -name 'libmoxxml.so.*' | head -n1)")
cd "$work"
PYTHONPATH="$work/prefix/$packagedir" LD_LIBRARY_PATH="$libdir" PYTHONDONTWRITEBYTECODE=1 \
  "$python" -c 'import moxxml, sys; sys.exit(not moxxml.__file__.startswith(sys.argv[1]))' \
  "$work/prefix/"
PYTHONPATH="$work/prefix/$packagedir" LD_LIBRARY_PATH="$libdir" PYTHONDONTWRITEBYTECODE=1 \
  "$python" "$source/python/examples/record_mdn.py" "$source/examples/as2-mdn-rfc3798-1.eml" |
  xmllint --noout --schema "$source/schema/moxmsg.xsd" -
echo "the installed package runs the README example"
