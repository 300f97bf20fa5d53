#!/usr/bin/env bash
# Builds the Debian package from this build tree and checks it as a user would meet it: the files
# it holds, lintian, the desktop and AppStream files as packaged, and ondrel-cli run from the
# unpacked package. Nothing is installed on this machine.
# usage: checkpackage.sh BUILD_DIR WORK_DIR       (exit 77: the packaging tools are missing)
set -euo pipefail
BUILD=$1
WORK=$2

for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done

rm -rf "$WORK"
mkdir -p "$WORK"
if ! cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK" >"$WORK/cpack.log" 2>&1; then
  cat "$WORK/cpack.log"
  exit 1
fi
debs=("$WORK"/*.deb)
deb=${debs[0]}
echo "package: $deb"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

listed=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for f in \
  /usr/bin/ondrel /usr/bin/ondrel-cli /usr/bin/ondrel-sim \
  /usr/share/man/man1/ondrel.1.gz /usr/share/man/man1/ondrel-cli.1.gz \
  /usr/share/man/man1/ondrel-sim.1.gz \
  /usr/share/applications/io.github.ondrel.Ondrel.desktop \
  /usr/share/metainfo/io.github.ondrel.Ondrel.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/io.github.ondrel.Ondrel.svg \
  /usr/share/icons/hicolor/48x48/apps/io.github.ondrel.Ondrel.png \
  /usr/share/icons/hicolor/256x256/apps/io.github.ondrel.Ondrel.png \
  /usr/lib/systemd/system/ondrel-cli@.service \
  /usr/share/doc/ondrel/ondrel-guide.html \
  /usr/share/doc/ondrel/copyright /usr/share/doc/ondrel/changelog.gz; do
  grep -qxF "$f" <<<"$listed" || fail "the package lacks $f"
done

# Plugins no binary names, and servers that must not be pulled in.
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6sql6-sqlite' <<<"$depends" || fail "Depends lacks the SQLite driver: $depends"
grep -qE '(^|[ ,])(mosquitto|postgresql)( |,|$)' <<<"$depends" && fail "Depends names a server: $depends"

# Errors fail; warnings are listed. The sanitizer build draws none that a Release build does not.
lintian --fail-on error --tag-display-limit 0 "$deb" \
  || fail "lintian found errors"

root="$WORK/root"
dpkg-deb -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$root/usr/share/applications/io.github.ondrel.Ondrel.desktop" \
    || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.ondrel.Ondrel.metainfo.xml" \
    >/dev/null || fail "AppStream metadata"
fi

# The service starts a program the package holds.
exec_start=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$root/usr/lib/systemd/system/ondrel-cli@.service")
[ -x "$root$exec_start" ] || fail "the service starts $exec_start, which the package lacks"

# The packaged program runs (its --help touches no program folder).
set +e
usage=$("$root/usr/bin/ondrel-cli" --help 2>&1)
rc=$?
set -e
[ $rc -eq 0 ] || fail "ondrel-cli --help exited $rc: $usage"
grep -q '^Usage: ondrel-cli COMMAND' <<<"$usage" || fail "ondrel-cli --help printed: $usage"
rm -rf "$root"
echo "package checks passed"
