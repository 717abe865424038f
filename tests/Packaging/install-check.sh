#!/usr/bin/env bash
# Installs the configured build into a temporary DESTDIR under /usr and checks what a desktop, the
# AppStream tools and systemd read there, the readiness checks of the installed application, and
# the Debian package made from the same build.
# Usage: install-check.sh BUILD-DIR INSTALL-PROBE
set -euo pipefail
build="$1"
probe="$2"
prefix=/usr
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# The regular files beneath a folder, relative to it, sorted.
files_under() { (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort); }

DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$work/install.log"

expected="$work/expected"
{
  printf '%s\n' bin/quorvane libexec/quorvane/quorvane-helper \
    lib/systemd/system/com.orsolind.Quorvane.helper.socket \
    lib/systemd/system/com.orsolind.Quorvane.helper.service \
    share/applications/com.orsolind.Quorvane.desktop \
    share/metainfo/com.orsolind.Quorvane.metainfo.xml \
    share/quorvane/helper-approval.html \
    share/icons/hicolor/scalable/apps/com.orsolind.Quorvane.svg \
    share/doc/quorvane/copyright share/doc/quorvane/changelog.gz \
    share/man/man1/quorvane.1.gz share/man/man8/quorvane-helper.8.gz
  for size in 16 24 32 48 64 128 256 512; do
    echo "share/icons/hicolor/${size}x${size}/apps/com.orsolind.Quorvane.png"
  done
} | LC_ALL=C sort >"$expected"
files_under "$root$prefix" >"$work/installed"
diff -u "$expected" "$work/installed" || fail "the installed files are not the expected layout"
for exe in bin/quorvane libexec/quorvane/quorvane-helper; do
  [ -x "$root$prefix/$exe" ] || fail "$exe is not executable"
done

# Each PNG is as large as the folder it sits in says (width and height from its IHDR chunk).
for png in "$root$prefix"/share/icons/hicolor/*x*/apps/com.orsolind.Quorvane.png; do
  size="$(basename "$(dirname "$(dirname "$png")")")"
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
  actual="$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))x$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))"
  [ "$actual" = "$size" ] || fail "the $size icon is $actual"
done

desktop="$root$prefix/share/applications/com.orsolind.Quorvane.desktop"
# Hints and warnings count as failures too.
if ! report="$(desktop-file-validate "$desktop" 2>&1)" || [ -n "$report" ]; then
  fail "desktop-file-validate: $report"
fi
report="$(appstreamcli validate --no-net "$root$prefix/share/metainfo/com.orsolind.Quorvane.metainfo.xml" 2>&1)" \
  || fail "appstreamcli: $report"

# systemd-analyze reads the units and checks ExecStart beneath --root; the standard targets the
# units depend on come from this machine's systemd. The copy is hard-linked, so it costs nothing.
verify="$work/verify"
cp -al "$root" "$verify"
units="$verify$prefix/lib/systemd/system"
if ! compgen -G "/usr/lib/systemd/system/*.target" >/dev/null; then
  fail "this machine's systemd targets are missing (the systemd package)"
else
  cp /usr/lib/systemd/system/*.target "$units/"
  if ! report="$(systemd-analyze verify --root="$verify" \
    com.orsolind.Quorvane.helper.socket com.orsolind.Quorvane.helper.service 2>&1)" || [ -n "$report" ]; then
    fail "systemd-analyze: $report"
  fi
fi
grep -qx "ExecStart=$prefix/libexec/quorvane/quorvane-helper" \
  "$root$prefix/lib/systemd/system/com.orsolind.Quorvane.helper.service" \
  || fail "the service does not start the installed helper"

# The readiness checks as the installed application computes them from its own location; the
# probe in the build's test folder, with no helper beside it, shows that they can fail.
cp "$probe" "$verify$prefix/bin/quorvane-install-probe"
"$verify$prefix/bin/quorvane-install-probe" >"$work/readiness"
for check in helper-executable daemon-plist approval-page; do
  grep -qx "$check passed" "$work/readiness" || fail "the installed application's $check check: $(cat "$work/readiness")"
done
grep -qx "helper-executable failed" <<<"$("$probe")" || fail "the readiness check passes without a helper"

# The Debian package: the same files, the libraries the executables link and what they run, and
# no maintainer script that enables the helper.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack could not build the package"; }
deb="$(find "$work/package" -maxdepth 1 -name 'quorvane_*.deb' | head -n 1)"
if [ -z "$deb" ]; then
  fail "no Debian package was built"
else
  dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { print $NF }' | sed "s|^\./${prefix#/}/||" | LC_ALL=C sort >"$work/packaged"
  diff -u "$work/installed" "$work/packaged" || fail "the package's files differ from the installation"
  depends="$(dpkg-deb -f "$deb" Depends)"
  for needed in libqt6widgets6 libqt6svg6 libplist3 libicu72 libsystemd0 pkexec systemd; do
    grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "the package does not depend on $needed: $depends"
  done
  control="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)"
  if grep -qx './postinst' <<<"$control"; then fail "the package has a postinst"; fi
  # Every lintian error and warning counts.
  if ! report="$(lintian --fail-on error,warning "$deb" 2>&1)"; then
    fail "lintian: $report"
  fi
  service="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ".$prefix/lib/systemd/system/com.orsolind.Quorvane.helper.service")"
  grep -qx "ExecStart=$prefix/libexec/quorvane/quorvane-helper" <<<"$service" \
    || fail "the packaged service does not start the packaged helper"
  # The packaged prerm disables the helper through Debian's tools on removal only, and still
  # succeeds where they are missing. The fakes record their calls; stopping also needs systemd.
  prerm="$work/prerm"
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./prerm >"$prerm"
  fakes="$work/fakes"
  mkdir "$fakes"
  for tool in deb-systemd-helper deb-systemd-invoke; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$tool" "$work/calls" >"$fakes/$tool"
    chmod +x "$fakes/$tool"
  done
  expected_calls="deb-systemd-helper disable com.orsolind.Quorvane.helper.socket"
  if [ -d /run/systemd/system ]; then
    expected_calls="deb-systemd-invoke stop com.orsolind.Quorvane.helper.socket com.orsolind.Quorvane.helper.service"$'\n'"$expected_calls"
  fi
  for action in remove upgrade; do
    : >"$work/calls"
    PATH="$fakes" /bin/sh "$prerm" "$action" || fail "the prerm fails on $action"
    want=""
    [ "$action" = remove ] && want="$expected_calls"
    [ "$(cat "$work/calls")" = "$want" ] || fail "the prerm on $action calls: $(cat "$work/calls")"
  done
  mkdir "$work/empty"
  PATH="$work/empty" /bin/sh "$prerm" remove || fail "the prerm fails without Debian's systemd tools"
fi

[ "$failures" -eq 0 ] || exit 1
echo "Installation and package checked."
