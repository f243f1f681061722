#!/bin/sh
# Builds both packages (scripts/package.sh) and tests them as a user gets them: the Debian
# package's files, permissions, metadata and lintian, its programs run from a throwaway root; the
# Windows installer run silently under Wine in a fresh prefix, per user on a German desktop and
# for all users on an English one, the installed reader run, the Start-menu and uninstall entries
# read, then the silent uninstall.
set -eu
cd "$(dirname "$0")/.."
scripts/apt-install.sh lintian appstream desktop-file-utils file man-db binutils wine wine64 locales
scripts/package.sh
version=$(sed -n 's/^project(Quarrow2Excel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="dist/quarrow2excel_${version}_amd64.deb"
setup="dist/quarrow2excel-${version}-setup.exe"
work=$(mktemp -d)
trap 'WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
failures=0
check() {  # description, then the command that must succeed
  what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
has() { grep -q -- "$2" "$1"; }
hasnt() { ! grep -q -- "$2" "$1"; }

# --- The udev rule checker itself must refuse broken rules.
for bad in 'SUBSYSTEM="tty"X' 'ATTRS{idVendor}="0403"' 'FOO=="1"' 'ACTION=="add" GOTO="x"' \
  'GOTO="nowhere"' 'ENV="1"' 'SUBSYSTEM=="tty", TAG+=uaccess' 'KERNEL=="tty*",'; do
  printf '%s\n' "$bad" >"$work/bad.rules"
  check "the rule checker refuses $bad" sh -c "! scripts/check-udev-rules.sh '$work/bad.rules' 2>/dev/null"
done

# --- The Debian package: control fields.
dpkg-deb -f "$deb" >"$work/control"
check "Package, Version, Architecture" sh -c "grep -qx 'Package: quarrow2excel' '$work/control' &&
  grep -qx 'Version: $version' '$work/control' && grep -qx 'Architecture: amd64' '$work/control'"
for dep in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libxlsxwriter libhpdf \
  fonts-dejavu-core; do
  check "Depends names $dep" sh -c "grep '^Depends:' '$work/control' | grep -q '$dep'"
done
check "Maintainer, Section, Description" sh -c "grep -q '^Maintainer: VORNEX <' '$work/control' &&
  grep -qx 'Section: science' '$work/control' && grep -q '^Description: ' '$work/control'"

# Files with their modes and owners; nothing else, no library bundled.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sed 's| \./| /|' | sort >"$work/files"
{
  for p in quarrow2excel quarrow2excel-cli quarrow-sim quarrow-decode; do
    echo "-rwxr-xr-x root/root /usr/bin/$p"
    echo "-rw-r--r-- root/root /usr/share/man/man1/$p.1.gz"
  done
  for s in 16 22 24 32 48 64 128 256; do
    echo "-rw-r--r-- root/root /usr/share/icons/hicolor/${s}x$s/apps/quarrow2excel.png"
  done
  echo "-rw-r--r-- root/root /usr/share/icons/hicolor/scalable/apps/quarrow2excel.svg"
  echo "-rw-r--r-- root/root /usr/share/applications/com.vornex.quarrow2excel.desktop"
  echo "-rw-r--r-- root/root /usr/share/metainfo/com.vornex.quarrow2excel.metainfo.xml"
  echo "-rw-r--r-- root/root /lib/udev/rules.d/70-quarrow2excel.rules"
  echo "-rw-r--r-- root/root /usr/share/doc/quarrow2excel/copyright"
  echo "-rw-r--r-- root/root /usr/share/doc/quarrow2excel/changelog.gz"
} | sort >"$work/expected"
check "the package holds exactly the expected files, modes and owners" diff "$work/expected" "$work/files"
check "every folder is rwxr-xr-x root/root" sh -c "! dpkg-deb -c '$deb' | awk '\$1 ~ /^d/' |
  grep -v '^drwxr-xr-x root/root '"

# Its maintainer scripts reload the rules, guarded for machines without udev.
dpkg-deb -e "$deb" "$work/DEBIAN"
for s in postinst postrm; do
  check "$s is an executable shell script" sh -c "[ -x '$work/DEBIAN/$s' ] && sh -n '$work/DEBIAN/$s'"
  check "$s reloads the udev rules" has "$work/DEBIAN/$s" "udevadm control --reload-rules"
done
check "postinst applies them to adapters already plugged in" has "$work/DEBIAN/postinst" "udevadm trigger"

# --- The package installed into a throwaway root.
root="$work/root"
dpkg -x "$deb" "$root"
check "the desktop entry is valid" desktop-file-validate "$root/usr/share/applications/com.vornex.quarrow2excel.desktop"
desktop="$root/usr/share/applications/com.vornex.quarrow2excel.desktop"
check "the desktop entry starts the window with its icon" sh -c "grep -qx 'Exec=quarrow2excel' '$desktop' &&
  grep -qx 'Icon=quarrow2excel' '$desktop'"
check "the metainfo is valid" appstreamcli validate --no-net "$root/usr/share/metainfo/com.vornex.quarrow2excel.metainfo.xml"
meta="$root/usr/share/metainfo/com.vornex.quarrow2excel.metainfo.xml"
for alias in v0403p6001 v0403p6010 v0403p6011 v0403p6014 v0403p6015 v10C4pEA60 v10C4pEA70 v10C4pEA71; do
  check "the metainfo provides usb:${alias}d*" has "$meta" "<modalias>usb:${alias}d\*</modalias>"
done
check "the metainfo gives this version and a screenshot" sh -c "grep -q 'release version=\"$version\"' '$meta' &&
  grep -q '<image>https://.*/window-dataready.png</image>' '$meta'"
rules="$root/lib/udev/rules.d/70-quarrow2excel.rules"
check "the udev rule reads" scripts/check-udev-rules.sh "$rules"
for id in 0403:6001 0403:6010 0403:6011 0403:6014 0403:6015 10c4:ea60 10c4:ea70 10c4:ea71; do
  v=${id%:*} p=${id#*:}
  check "the udev rule gives $id to the desktop's user, away from ModemManager" sh -c "
    grep '^SUBSYSTEM==\"tty\"' '$rules' | grep 'idVendor}==\"$v\"' | grep 'idProduct}==\"[^\"]*$p' |
      grep 'TAG+=\"uaccess\"' | grep -q 'ENV{ID_MM_DEVICE_IGNORE}=\"1\"'"
done
check "the udev rule sets the FTDI latency timer to 1 ms" sh -c "grep 'DRIVER==\"ftdi_sio\"' '$rules' |
  grep -q 'ATTR{latency_timer}=\"1\"'"
check "the udev rule sorts before the seat rules" sh -c "[ \"\$(printf '%s\n' 70-quarrow2excel.rules 73-seat-late.rules | sort | head -1)\" = 70-quarrow2excel.rules ]"
for s in 16 22 24 32 48 64 128 256; do
  check "the ${s} px icon is ${s}x$s" sh -c "file '$root/usr/share/icons/hicolor/${s}x$s/apps/quarrow2excel.png' | grep -q 'PNG image data, $s x $s'"
done
for p in quarrow2excel-cli quarrow-sim; do
  check "the manual page of $p reads" sh -c "man -l '$root/usr/share/man/man1/$p.1.gz' 2>&1 >/dev/null | grep -q . && exit 1;
    MANWIDTH=80 man -l '$root/usr/share/man/man1/$p.1.gz' 2>/dev/null | grep -q -- '--version'"
done
for p in quarrow2excel-cli quarrow-sim quarrow-decode; do
  check "$p --version says $version" sh -c "[ \"\$('$root/usr/bin/$p' --version)\" = '$p $version' ]"
done
check "the programs are stripped" sh -c "! file '$root'/usr/bin/* | grep -q 'not stripped'"

# A short reading with the installed programs, in a runtime folder of its own.
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
"$root/usr/bin/quarrow-sim" --records 7 --seed 3 --once 2>"$work/sim.log" &
sim=$!
check "the installed reader reads the installed simulator" \
  "$root/usr/bin/quarrow2excel-cli" --text "$work/report.txt" --xlsx "$work/book.xlsx" --timeout 30 2>"$work/cli.log"
kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
check "its report holds the 7 records" sh -c "grep -q 'Quarrow VORNEX' '$work/report.txt' &&
  [ \"\$(grep -c '^ *[0-9][0-9]* *|' '$work/report.txt')\" -ge 7 ] && [ -s '$work/book.xlsx' ]"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 && lint=0 || lint=$?
cat "$work/lintian"
check "lintian finds no error" [ "$lint" -eq 0 ]

# --- The Windows programs: resources and stripping.
for exe in quarrow2excel quarrow2excel-cli; do
  f="dist/windows/$exe.exe"
  check "$exe.exe carries its icon and version" sh -c "wrestool -l '$f' | grep -q 'type=group_icon' &&
    wrestool -l '$f' | grep -q 'type=version' && strings -el '$f' | grep -qx VORNEX &&
    strings -el '$f' | grep -qx Quarrow2Excel"
  check "$exe.exe is stripped" sh -c "x86_64-w64-mingw32-nm '$f' 2>&1 | grep -q 'no symbols'"
done
wrestool -x --raw --type=24 dist/windows/quarrow2excel.exe >"$work/manifest"
for want in 'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' \
  '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
  '>PerMonitorV2' '<dpiAware [^>]*>true/pm<' "version=\"$(echo "$version.0.0.0" | cut -d. -f1-4)\""; do
  check "the window's manifest says $want" grep -q -- "$want" "$work/manifest"
done

# --- The Windows installer in a fresh Wine prefix, in both modes.
cache="${XDG_CACHE_HOME:-$HOME/.cache}"  # the machine's, not the throwaway home's
export WINEPREFIX="$work/prefix" WINEDEBUG=-all HOME="$work/home"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no prompts, no host menu entries
mkdir -p "$HOME"
# A German desktop for the per-user installation: its display language comes from the locale.
mkdir -p "$work/locales"
localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" 2>/dev/null || true
XDG_CACHE_HOME="$cache" scripts/wine-prefix.sh "$WINEPREFIX"
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarrow2Excel'
value() {  # hive, name: the value's data as reg shows it
  wine reg query "$1\\$key" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
upath() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
for mode in CurrentUser AllUsers; do
  case $mode in
    CurrentUser) hive=HKCU folder='AppData\Local\Programs\Quarrow2Excel' menu="users/$(id -un)/AppData/Roaming"
      desktop="LC_ALL=de_DE.UTF-8" says="Liest das Archiv eines Quarrow-" ;;
    AllUsers) hive=HKLM folder='C:\Program Files\Quarrow2Excel' menu=ProgramData
      desktop="LC_ALL=C.UTF-8" says="Reads the archive of a Quarrow tester" ;;
  esac
  args="/S"
  [ "$mode" = AllUsers ] && args="/S /AllUsers"
  # shellcheck disable=SC2086
  env LOCPATH="$work/locales" "$desktop" wine "$setup" $args >/dev/null 2>&1 || true  # checked below
  wineserver -w
  location=$(value "$hive" InstallLocation)
  check "$mode: installed into ...\\${folder##*\\}" sh -c "case '$location' in *'$folder') exit 0;; esac; exit 1"
  dir=$(upath "$location")
  for f in quarrow2excel.exe quarrow2excel-cli.exe LICENSE.txt DejaVuSans.ttf DejaVuSans-LICENSE.txt \
    uninstall.exe; do
    check "$mode: $f in place" [ -f "$dir/$f" ]
  done
  check "$mode: the installed reader answers --version" sh -c "
    [ \"\$(wine '$dir/quarrow2excel-cli.exe' --version 2>/dev/null | tr -d '\r')\" = 'quarrow2excel-cli $version' ]"
  lnk="$WINEPREFIX/drive_c/$menu/Microsoft/Windows/Start Menu/Programs/Quarrow2Excel.lnk"
  check "$mode: the Start menu shows it" sh -c "[ -f '$lnk' ] && strings -a '$lnk' | grep -q quarrow2excel.exe"
  check "$mode: the list of programs names it" sh -c "[ '$(value "$hive" DisplayName)' = Quarrow2Excel ] &&
    [ '$(value "$hive" DisplayVersion)' = '$version' ] && [ '$(value "$hive" Publisher)' = VORNEX ]"
  check "$mode: with its icon and size" sh -c "[ '$(value "$hive" DisplayIcon)' = '$location\\quarrow2excel.exe,0' ] &&
    [ \$(($(value "$hive" EstimatedSize))) -gt 100 ]"
  # reg prints in the console's code page: the beginning, in ASCII, tells the language.
  check "$mode: in the desktop's language" sh -c "case '$(value "$hive" Comments)' in '$says'*) exit 0;; esac; exit 1"
  quiet=$(value "$hive" QuietUninstallString)
  check "$mode: and its uninstaller" sh -c "[ '$(value "$hive" UninstallString)' = '\"$location\\uninstall.exe\" /$mode' ] &&
    [ '$quiet' = '\"$location\\uninstall.exe\" /$mode /S' ]"

  # The user's settings and a saved report must outlive the program.
  wine reg add 'HKCU\Software\VORNEX\Quarrow2Excel\1.0' /v Unit /t REG_DWORD /d 2 /f >/dev/null 2>&1 || true
  mkdir -p "$HOME/reports" && echo report >"$HOME/reports/r.txt"
  uninstaller=$(upath "$(printf '%s\n' "$quiet" | sed 's/^"\([^"]*\)".*/\1/')")
  # shellcheck disable=SC2086
  wine "$uninstaller" $(printf '%s\n' "$quiet" | sed 's/^"[^"]*" *//') >/dev/null 2>&1 ||
    echo "the uninstaller ended with $?"
  wineserver -w
  # It runs on from a copy of itself in the temporary folder: give that copy time to finish.
  for _ in $(seq 60); do [ -e "$dir" ] || break; sleep 1; done
  check "$mode: the uninstaller removes the folder" [ ! -e "$dir" ]
  check "$mode: and the Start-menu entry" [ ! -e "$lnk" ]
  check "$mode: and its registry entries" sh -c "! wine reg query '$hive\\$key' >/dev/null 2>&1"
  check "$mode: the settings and reports stay" sh -c "[ -f '$HOME/reports/r.txt' ] &&
    wine reg query 'HKCU\Software\VORNEX\Quarrow2Excel\1.0' /v Unit 2>/dev/null | grep -q 0x2"
done

echo "packages: $(stat -c %s "$deb") bytes $deb, $(stat -c %s "$setup") bytes $setup"
[ "$failures" -eq 0 ] || { echo "test-packages: $failures checks failed" >&2; exit 1; }
echo "test-packages: every check passed"
