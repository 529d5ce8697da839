#!/bin/sh
# Builds the Debian package (build-package/klova_VERSION-1_ARCH.deb) and checks it with
# desktop-file-validate, appstreamcli validate and lintian; any error fails the script.
# Installs what the build and the checks need first. Then, as root:
#   apt-get install ./build-package/klova_*.deb
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# dpkg-shlibdeps and dpkg-buildflags (dpkg-dev), the ELF check CPack makes (file),
# and the three checkers: not needed by the test suite, so not in packages.txt.
missing=""
for pkg in dpkg-dev file lintian desktop-file-utils appstream; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="$missing $pkg"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

# Debian's compiler and linker flags, hardening included, as a Debian build would use.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $CPPFLAGS"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"

launcher=""
command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
rm -rf build-package
# shellcheck disable=SC2086
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKLOVA_BUILD_TESTS=OFF -DKLOVA_BUILD_BENCHMARKS=OFF $launcher >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/klova_*.deb)

# The desktop files as the package installs them.
unpacked=build-package/unpacked
dpkg-deb -x "$deb" "$unpacked"
echo "== desktop-file-validate"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
echo "== appstreamcli validate"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
echo "== lintian"
lintian --fail-on error --display-info "$deb"
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
