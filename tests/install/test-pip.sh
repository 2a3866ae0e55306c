#!/usr/bin/env bash
# Tests `pip install .` as a Python user runs it, with nothing from a Python
# registry (--no-build-isolation --no-index: Debian's setuptools builds it):
# a fresh virtual environment on Debian's Python (with its numpy), the
# install, `import kvres` and a read of the example from a folder outside the
# tree, the package metadata (version, numpy, the xarray backend entry
# point, the summary, the description and the project URLs), `pip
# uninstall`, a wheel from `python3 -m build`, and a source distribution
# from it that holds what the build needs and installs with pip.
#   test-pip.sh EXAMPLES_DIR
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
examples=$(cd "$1" && pwd)
version=$(sed -n 's/^project(kvres VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
step() { echo "== test-pip: $*"; }

step "venv and pip install ."
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
python=$work/venv/bin/python
"$python" -m pip install --quiet --no-build-isolation --no-index "$source_dir"

step "import and read from $work"
cd "$work"
PYTHONDONTWRITEBYTECODE=1 "$python" - "$examples" "$version" <<'PY'
import sys
from importlib import metadata

import kvres

examples, version = sys.argv[1], sys.argv[2]
assert "/venv/" in kvres.__file__, kvres.__file__
assert kvres.__version__ == version, (kvres.__version__, version)
assert metadata.version("kvres") == version
assert any(r.startswith("numpy") for r in metadata.requires("kvres")), metadata.requires("kvres")
points = [p for p in metadata.entry_points(group="xarray.backends") if p.name == "kvres"]
assert points and points[0].value == "kvres.xarray:KvresBackendEntrypoint", points
meta = metadata.metadata("kvres")
assert "numpy arrays" in meta["Summary"], meta["Summary"]
assert "kvres.open" in meta.get_payload() or "kvres.open" in (meta["Description"] or ""), meta
urls = meta.get_all("Project-URL") or []
assert any(u.startswith("Documentation, ") for u in urls), urls
with kvres.open(examples + "/beam.res") as result:
    data = result.read("temperature", 0, read="real")
    assert data.complete and len(data) == 14, data
    assert abs(float(data.values[7]) - 22.0) < 1e-6, data.values
print("pip: kvres", kvres.__version__, "from", kvres.__file__)
PY

step "pip uninstall"
"$python" -m pip uninstall --quiet --yes kvres
if "$python" -c "import kvres" 2>/dev/null; then
  echo "FAIL: kvres still imports after pip uninstall" >&2
  exit 1
fi
if ls "$work"/venv/lib/python3*/site-packages | grep -i -E 'kvres|rxResult'; then
  echo "FAIL: pip uninstall left files behind" >&2
  exit 1
fi

step "python3 -m build --wheel"
cd "$source_dir"
/usr/bin/python3 -m build --no-isolation --wheel --outdir "$work/dist" >/dev/null
wheel=$(ls "$work"/dist/kvres-"$version"-*.whl)
echo "built $(basename "$wheel")"
contents=$(unzip -Z1 "$wheel")
for expected in 'kvres\..*\.so$' 'rxResult\.so$' 'entry_points\.txt$' 'METADATA$'; do
  printf '%s\n' "$contents" | grep -q -E "$expected" ||
    { echo "FAIL: the wheel lacks $expected" >&2; exit 1; }
done

step "python3 -m build --sdist, and pip install of the tarball"
/usr/bin/python3 -m build --no-isolation --sdist --outdir "$work/dist" >/dev/null
sdist=$work/dist/kvres-$version.tar.gz
contents=$(tar tzf "$sdist")
for expected in CMakeLists.txt cmake/KvresInstall.cmake reader/Result.cpp plugin/ host/ fileio/ \
  model/ writer/ include/kvres/reader.h python/kvresModule.cpp tests/support/ResWriter.cpp \
  python/README.md; do
  printf '%s\n' "$contents" | grep -q "^kvres-$version/$expected" ||
    { echo "FAIL: the sdist lacks $expected" >&2; exit 1; }
done
/usr/bin/python3 -m venv --system-site-packages "$work/venv-sdist"
"$work/venv-sdist/bin/python" -m pip install --quiet --no-build-isolation --no-index "$sdist"
cd "$work"
PYTHONDONTWRITEBYTECODE=1 "$work/venv-sdist/bin/python" - "$examples" <<'PY'
import sys
import kvres
assert "/venv-sdist/" in kvres.__file__, kvres.__file__
with kvres.open(sys.argv[1] + "/beam.res") as result:
    assert result.read("temperature", 0, read="real").complete
print("sdist: kvres", kvres.__version__, "from", kvres.__file__)
PY
echo "test-pip: all passed"
