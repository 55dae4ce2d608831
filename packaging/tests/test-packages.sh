#!/usr/bin/env bash
# End-to-end checks of the releases in dist/ (make package first), one per
# kind of package, as a person would use them:
#   the Debian packages: lintian, installed with dpkg, the programs run, the
#     manual pages found, the desktop entry and metainfo valid, removed again
#     (this part needs root, as CI has it);
#   the win64 installer under Wine: a silent install into a scratch folder,
#     the files, the Start-menu shortcut and the uninstall entry, the
#     installed dbfclean-cli.exe repairing tables, a silent uninstall that
#     leaves nothing behind;
#   the win64 zip: its files, its dbfclean-cli.exe repairing tables;
#   the 32-bit programs, which cannot start here: their headers, icon and
#     version resources;
#   the version, the same everywhere it shows.
# Ends with "N passed, N failed"; exits non-zero when a check failed.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

version=$(sed -n 's/^project(dbfclean VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
peinfo="python3 packaging/tests/peinfo.py"
summary="Database(s) are cleaned up! Fixed 47 zeroes in 6 records"

export WINEPREFIX="$root/build/wine"
source scripts/wine-env.sh
unset DISPLAY WAYLAND_DISPLAY

work="$root/build/package-tests"
rm -rf "$work"
mkdir -p "$work"

source "$root/packaging/tests/checks.sh"

# expect ACTUAL EXPECTED: exact equality, both shown when they differ.
expect() {
  if [ "$1" != "$2" ]; then
    printf 'expected: %s\n  actual: %s\n' "$2" "$1"
    return 1
  fi
}

# A fresh copy of the sample tables in directory $1.
samples() {
  rm -rf "$1"
  mkdir -p "$1"
  find samples -maxdepth 1 -type f ! -name '*.py' -exec cp {} "$1"/ \;
}

# After a repair of samples() in $1: the tables as the Debian package's
# program left them (the reference), and no index file left.
repaired_like_reference() {
  local dir="$1" name
  expect "$(cd "$dir" && ls)" "$(printf '%s\n' CUSTOMER.DBF orders.dbf orders.dbt parts.dbf stock.dbf)" || return 1
  for name in CUSTOMER.DBF orders.dbf orders.dbt parts.dbf stock.dbf; do
    cmp "$work/reference/$name" "$dir/$name" || return 1
  done
}

windows_path() { echo "Z:${1//\//\\}"; }

wine_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1
  fi
  "$WINE" cmd /c exit 0 >/dev/null 2>&1
}

# wine_run PROGRAM ARGS...: runs a Windows program, its output with Unix
# line ends.
wine_run() {
  timeout --kill-after=10 120 "$WINE" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# wine_run_all PROGRAM ARGS...: the same, and waits until every process it
# started has ended too (the server ends a few seconds after the last one):
# an uninstaller hands its work to a copy of itself and returns at once.
wine_run_all() {
  wine_run "$@" || return 1
  timeout 120 "$WINESERVER" --wait
}

# ---- the Debian packages
deb_cli="dist/dbfclean-cli_${version}_${arch}.deb"
deb_desktop="dist/dbfclean_${version}_${arch}.deb"

lintian_clean() {
  # Errors fail; warnings are listed (the report of make package says why
  # each one that is left stays).
  lintian --fail-on error --tag-display-limit 0 "$deb_cli" "$deb_desktop"
}

deb_fields() {
  expect "$(dpkg-deb -f "$deb_cli" Package Version Section Priority Maintainer)" \
    "$(printf 'Package: dbfclean-cli\nVersion: %s\nSection: utils\nPriority: optional\nMaintainer: dbfclean developers <dbfclean@example.org>' "$version")" || return 1
  expect "$(dpkg-deb -f "$deb_desktop" Package Version)" "$(printf 'Package: dbfclean\nVersion: %s' "$version")" || return 1
  # A server gets the command-line program without Qt.
  local cli_depends desktop_depends
  cli_depends=$(dpkg-deb -f "$deb_cli" Depends)
  desktop_depends=$(dpkg-deb -f "$deb_desktop" Depends)
  echo "dbfclean-cli depends: $cli_depends"
  echo "dbfclean depends: $desktop_depends"
  grep -q 'libc6' <<<"$cli_depends" && ! grep -qi 'qt' <<<"$cli_depends" && grep -q 'libqt6widgets6' <<<"$desktop_depends"
}

deb_installed() {
  dpkg -i "$deb_cli" "$deb_desktop" >/dev/null || return 1
  expect "$(dbfclean-cli --version)" "dbfclean-cli $version" || return 1
  expect "$(dbfclean --version)" "dbfclean $version" || return 1
  samples "$work/reference"
  expect "$(dbfclean-cli "$work/reference" 2>/dev/null)" "$summary" || return 1
  expect "$(cd "$work/reference" && ls | tr '\n' ' ')" "CUSTOMER.DBF orders.dbf orders.dbt parts.dbf stock.dbf " || return 1
  expect "$(man -w dbfclean-cli)" "/usr/share/man/man1/dbfclean-cli.1.gz" || return 1
  expect "$(man -w dbfclean)" "/usr/share/man/man1/dbfclean.1.gz" || return 1
  desktop-file-validate /usr/share/applications/dbfclean.desktop || return 1
  appstreamcli validate --no-net /usr/share/metainfo/org.example.dbfclean.metainfo.xml || return 1
  expect "$(ls /usr/share/icons/hicolor/*/apps/dbfclean.* | tr '\n' ' ')" \
    "$(for s in 128x128 16x16 24x24 256x256 32x32 48x48 64x64; do printf '/usr/share/icons/hicolor/%s/apps/dbfclean.png ' $s; done)/usr/share/icons/hicolor/scalable/apps/dbfclean.svg "
}

# The installed desktop program started on a table, then on a directory, as
# a file manager's "Open with" does: the dialog opens there (the table
# selected), and OK cleans what it shows. Driven on a virtual display.
desktop_opens_on_its_argument() {
  local dir="$work/desktop" name
  samples "$dir"
  timeout 60 xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" \
    bash packaging/tests/drive_dialog.sh /usr/bin/dbfclean "$dir/CUSTOMER.DBF" || return 1
  cmp "$work/reference/CUSTOMER.DBF" "$dir/CUSTOMER.DBF" || return 1
  for name in orders.dbf parts.dbf stock.dbf; do
    cmp "samples/$name" "$dir/$name" || return 1
  done
  expect "$(cd "$dir" && ls *.ndx *.NDX 2>/dev/null)" "" || return 1
  # On a directory nothing is selected: OK cleans nothing, and the index
  # files of that directory go.
  samples "$dir"
  timeout 60 xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" \
    bash packaging/tests/drive_dialog.sh /usr/bin/dbfclean "$dir" || return 1
  for name in CUSTOMER.DBF orders.dbf parts.dbf stock.dbf; do
    cmp "samples/$name" "$dir/$name" || return 1
  done
  expect "$(cd "$dir" && ls *.ndx *.NDX 2>/dev/null)" ""
}

deb_removed() {
  dpkg -r dbfclean dbfclean-cli >/dev/null || return 1
  local f
  for f in /usr/bin/dbfclean-cli /usr/bin/dbfclean /usr/share/applications/dbfclean.desktop /usr/share/man/man1/dbfclean.1.gz; do
    if [ -e "$f" ]; then
      echo "left behind: $f"
      return 1
    fi
  done
}

echo "==> Debian packages"
check "lintian: no errors in $(basename "$deb_cli") and $(basename "$deb_desktop")" lintian_clean
check "the packages' names, versions, sections, priority, maintainer; only dbfclean depends on Qt" deb_fields
if [ "$(id -u)" -eq 0 ]; then
  trap 'dpkg -r dbfclean dbfclean-cli >/dev/null 2>&1' EXIT
  check "installed: --version, a repair of the samples, manual pages, desktop entry, metainfo, icons" deb_installed
  check "installed dbfclean opened on a table and on a directory: the dialog opens there" desktop_opens_on_its_argument
  check "removed with dpkg -r: no file left" deb_removed
  trap - EXIT
else
  echo "SKIP  installing the Debian packages needs root"
fi
# Without the reference repair the Windows repairs below are compared with
# one made by the build's own program.
if [ ! -f "$work/reference/CUSTOMER.DBF" ]; then
  samples "$work/reference"
  build/deb/dbfclean-cli "$work/reference" >/dev/null 2>&1
fi

# ---- the win64 installer under Wine
setup64="dist/dbfclean-$version-win64-setup.exe"
# Wine quotes an argument with a blank, and the installer takes /D= only
# unquoted: a scratch folder without one.
install_dir="$work/programs/dbfclean"
other_dir="$work/programs/dbfclean-other"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\dbfclean'
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/dbfclean.lnk"
zip64="dist/dbfclean-$version-win64.zip"
classes='HKLM\Software\Classes'

# The .dbf "Open with" entries: OPEN_WITH_ONE "present" or "absent".
open_with() {
  local want="$1" progids command app
  progids=$(wine_run reg query "$classes\.dbf\OpenWithProgids" 2>/dev/null)
  command=$(wine_run reg query "$classes\dbfclean.dbf\shell\open\command" /ve 2>/dev/null)
  app=$(wine_run reg query "$classes\Applications\dbfclean.exe\shell\open\command" /ve 2>/dev/null)
  if [ "$want" = absent ]; then
    if grep -q 'dbfclean' <<<"$progids$command$app"; then
      printf 'left behind:\n%s\n%s\n%s\n' "$progids" "$command" "$app"
      return 1
    fi
    return 0
  fi
  local expected="\"$(windows_path "$install_dir")\\dbfclean.exe\" \"%1\""
  grep -q "^ *dbfclean.dbf    REG_SZ" <<<"$progids" || { echo "no dbfclean.dbf in OpenWithProgids: $progids"; return 1; }
  grep -qF "REG_SZ    $expected" <<<"$command" || { echo "ProgID command: $command"; return 1; }
  grep -qF "REG_SZ    $expected" <<<"$app" || { echo "Applications command: $app"; return 1; }
  # Not the type's default program: .dbf's own default value is not ours.
  if wine_run reg query "$classes\.dbf" /ve 2>/dev/null | grep -q 'dbfclean'; then
    echo "dbfclean became the default program of .dbf"
    return 1
  fi
}

installer_installs() {
  wine_run_all "$setup64" /S "/D=$(windows_path "$install_dir")" || return 1
  expect "$(cd "$install_dir" && ls | tr '\n' ' ')" "LICENSE.txt README.txt Uninstall.exe dbfclean-cli.exe dbfclean.exe " || return 1
  [ -f "$shortcut" ] || { echo "no shortcut $shortcut"; return 1; }
  # The shortcut starts the installed desktop program.
  grep -a -q 'dbfclean\.exe' "$shortcut" || { echo "the shortcut does not name dbfclean.exe"; return 1; }
  local key
  key=$(wine_run reg query "$uninstall_key")
  echo "$key"
  grep -q "DisplayName    REG_SZ    dbfclean$" <<<"$key" &&
    grep -q "DisplayVersion    REG_SZ    $version$" <<<"$key" &&
    grep -qF "UninstallString    REG_SZ    \"$(windows_path "$install_dir")\\Uninstall.exe\"" <<<"$key" || return 1
  open_with present || return 1
  # The installed programs are the zip's, byte for byte.
  local name
  for name in dbfclean.exe dbfclean-cli.exe; do
    unzip -p "$zip64" "$name" | cmp - "$install_dir/$name" || { echo "$name: the zip's and the installed differ"; return 1; }
  done
  samples "$work/installed-run"
  expect "$(wine_run "$install_dir/dbfclean-cli.exe" "$(windows_path "$work/installed-run")" 2>/dev/null)" "$summary" || return 1
  repaired_like_reference "$work/installed-run"
}

# installed_in DIR VERSION: the files in DIR, one uninstall entry naming DIR
# with VERSION, the shortcut starting DIR's program.
installed_in() {
  local dir="$1" want_version="$2" key
  expect "$(cd "$dir" && ls | tr '\n' ' ')" "LICENSE.txt README.txt Uninstall.exe dbfclean-cli.exe dbfclean.exe " || return 1
  key=$(wine_run reg query "$uninstall_key")
  grep -q "DisplayVersion    REG_SZ    $want_version$" <<<"$key" &&
    grep -qF "InstallLocation    REG_SZ    $(windows_path "$dir")" <<<"$key" &&
    grep -qF "UninstallString    REG_SZ    \"$(windows_path "$dir")\\Uninstall.exe\"" <<<"$key" || {
    echo "$key"
    return 1
  }
  [ -f "$shortcut" ] && grep -a -qF "$(basename "$dir")" "$shortcut" || { echo "the shortcut does not start $dir"; return 1; }
}

# The same installer again, then one of a newer version (the installer's
# script rebuilt with another version number): both go into the installed
# folder, silently, without /D=.
upgrades_in_place() {
  wine_run_all "$setup64" /S || return 1
  installed_in "$install_dir" "$version" || return 1
  local nsi newer=9.9.9
  nsi=$(find build/mingw64/_packages/_CPack_Packages -name project.nsi | head -1)
  [ -n "$nsi" ] || { echo "no project.nsi of the win64 installer"; return 1; }
  sed -e "/^!define INST_DIR/!s/$version/$newer/g" -e "s|^OutFile .*|OutFile \"$work/newer-setup.exe\"|" "$nsi" >"$work/newer.nsi"
  makensis -V1 "$work/newer.nsi" || return 1
  wine_run_all "$work/newer-setup.exe" /S || return 1
  installed_in "$install_dir" "$newer" || return 1
  [ ! -e "$(dirname "$install_dir")/dbfclean-other" ] || { echo "a second folder"; return 1; }
}

# /D= naming another folder: the installed copy goes first, files, entry and
# shortcut, so that one copy with one entry is left.
moves_to_another_folder() {
  wine_run_all "$setup64" /S "/D=$(windows_path "$other_dir")" || return 1
  [ ! -e "$install_dir" ] || { echo "the first copy is left:"; ls -la "$install_dir"; return 1; }
  installed_in "$other_dir" "$version" || return 1
  expect "$(wine_run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' | grep -ci dbfclean)" 1
}

# While dbfclean.exe runs (its dialog open on a virtual display) the
# installer and the uninstaller refuse with exit status 3 and change nothing.
refuses_while_running() {
  local rc
  # shellcheck disable=SC2016
  xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" bash -c '
    "$1" "$2" >/dev/null 2>&1 &
    for _ in $(seq 1 150); do
      xprop -name "Select Files to Clean Up" WM_NAME >/dev/null 2>&1 && break
      sleep 0.2
    done
    timeout 120 "$1" "$3" /S; a=$?
    timeout 120 "$1" "$4" /S "_?=$5"; b=$?
    "$6" --kill
    echo "installer $a, uninstaller $b"' _ "$WINE" "$other_dir/dbfclean.exe" "$setup64" \
    "$other_dir/Uninstall.exe" "$(windows_path "$other_dir")" "$WINESERVER" >"$work/running.txt" 2>/dev/null
  "$WINESERVER" --wait
  # The uninstaller, run in place, has been seen ending with 1 instead of its
  # own 3 under Wine: what matters is that it refuses and changes nothing.
  local got
  got=$(tail -1 "$work/running.txt")
  case "$got" in
    "installer 3, uninstaller 3" | "installer 3, uninstaller 1") ;;
    *) expect "$got" "installer 3, uninstaller 3" || return 1 ;;
  esac
  installed_in "$other_dir" "$version"
}

uninstaller_removes() {
  install_dir=$other_dir
  wine_run_all "$install_dir/Uninstall.exe" /S || return 1
  [ ! -e "$install_dir" ] || { echo "left behind:"; ls -la "$install_dir"; return 1; }
  [ ! -e "$shortcut" ] || { echo "left behind: the shortcut"; return 1; }
  if wine_run reg query "$uninstall_key" >/dev/null 2>&1; then
    echo "left behind: $uninstall_key"
    return 1
  fi
  open_with absent
}

echo "==> win64 installer under Wine"
if wine_ready; then
  check "$(basename "$setup64") /S: files (the zip's bytes), Start-menu shortcut, uninstall entry, Open with for .dbf, the installed CLI repairs" installer_installs
  check "installed again, then a newer version, silently: upgraded in the installed folder" upgrades_in_place
  check "/D= another folder: the installed copy is removed first, one copy and one entry are left" moves_to_another_folder
  check "while dbfclean.exe runs the installer and the uninstaller refuse (exit status 3)" refuses_while_running
  check "Uninstall.exe /S removes every installed file, the shortcut, the entry and Open with" uninstaller_removes
else
  check "Wine starts" false
fi

# ---- the win64 zip

zip_works() {
  local dir="$work/zip64"
  mkdir -p "$dir"
  unzip -q "$zip64" -d "$dir" || return 1
  expect "$(cd "$dir" && ls | tr '\n' ' ')" "LICENSE.txt README.txt dbfclean-cli.exe dbfclean.exe " || return 1
  # Text files with Windows line ends, for Notepad.
  grep -q $'\r$' "$dir/README.txt" && grep -q $'\r$' "$dir/LICENSE.txt" || { echo "no CR LF line ends"; return 1; }
  samples "$work/zip-run"
  expect "$(wine_run "$dir/dbfclean-cli.exe" "$(windows_path "$work/zip-run")" 2>/dev/null)" "$summary" || return 1
  repaired_like_reference "$work/zip-run"
}

echo "==> win64 zip"
check "$(basename "$zip64"): the four files, its CLI repairs" zip_works

# The icon that a taskbar and Alt+Tab show for the dialog: Wine hands the
# icon the program set on its window to the X display (or its own logo when
# the program set none). Polled until the dialog is there, 30 s at most.
window_shows_icon() {
  local prop="$work/window-icon.txt"
  # shellcheck disable=SC2016
  xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" bash -c '
    "$1" "$2" >/dev/null 2>&1 &
    rc=1
    for _ in $(seq 1 150); do
      if xprop -name "Select Files to Clean Up" -f _NET_WM_ICON 32c _NET_WM_ICON >"$3" 2>/dev/null &&
        python3 packaging/tests/window_icon.py "$3" app/images/dbfclean.ico; then
        rc=0
        break
      fi
      sleep 0.2
    done
    "$4" --kill
    exit "$rc"' _ "$WINE" "$work/zip64/dbfclean.exe" "$prop" "$WINESERVER"
  local rc=$?
  "$WINESERVER" --wait
  [ "$rc" -eq 0 ] || { echo "the dialog's window icon is not the program's:"; head -c 300 "$prop"; return 1; }
}
check "dbfclean.exe's dialog carries the program's icon (taskbar, Alt+Tab)" window_shows_icon

# ---- the programs' headers and resources, both architectures
# pe_expected MACHINE SUBSYSTEM NAME: the facts peinfo.py prints, less the DLLs.
pe_expected() {
  printf 'machine %s\nsubsystem %s\nicons 16 32 48 256\nComments Repairs NUL bytes in the fields of dBASE tables\nCompanyName The dbfclean developers\nFileDescription %s\nFileVersion %s\nInternalName %s\nLegalCopyright MIT licence, see LICENSE.txt\nOriginalFilename %s.exe\nProductName dbfclean\nProductVersion %s\n' \
    "$1" "$2" "$3" "$version" "$3" "$3" "$version"
}

programs_headers() {
  local arch="$1" machine="$2" dir="$work/zip-$1" name subsystem info
  mkdir -p "$dir"
  unzip -q -o "dist/dbfclean-$version-$arch.zip" -d "$dir" || return 1
  for name in dbfclean dbfclean-cli; do
    subsystem=console
    [ "$name" = dbfclean ] && subsystem=gui
    info=$($peinfo "$dir/$name.exe") || return 1
    expect "$(grep -v '^dlls' <<<"$info")" "$(pe_expected "$machine" "$subsystem" "$name")" || return 1
    # Only system DLLs: no MinGW runtime beside the program.
    if grep '^dlls' <<<"$info" | grep -Eq 'libstdc|libgcc|libwinpthread'; then
      echo "$arch/$name.exe: $(grep '^dlls' <<<"$info")"
      return 1
    fi
  done
  info=$($peinfo "dist/dbfclean-$version-$arch-setup.exe") || return 1
  expect "$(grep -E '^(machine|subsystem|ProductVersion)' <<<"$info")" \
    "$(printf 'machine %s\nsubsystem gui\nProductVersion %s' "$machine" "$version")"
}

echo "==> program headers and resources"
check "win32: i386, GUI and console programs, system DLLs only, icon and version resources" programs_headers win32 i386
check "win64: x86-64, GUI and console programs, system DLLs only, icon and version resources" programs_headers win64 x86-64

# ---- one version everywhere
versions_agree() {
  local tmp="$work/versions" bad=0 place value deb page
  mkdir -p "$tmp"
  expect "$(ls dist | LC_ALL=C sort)" "$(printf '%s\n' SHA256SUMS "dbfclean-$version-win32-setup.exe" \
    "dbfclean-$version-win32.zip" "dbfclean-$version-win64-setup.exe" "dbfclean-$version-win64.zip" \
    "dbfclean-cli_${version}_${arch}.deb" "dbfclean_${version}_${arch}.deb" | LC_ALL=C sort)" || bad=1
  (cd dist && sha256sum --quiet -c SHA256SUMS) || bad=1
  expect "$(cut -d' ' -f3 dist/SHA256SUMS | LC_ALL=C sort | tr '\n' ' ')" \
    "$(ls dist | grep -v SHA256SUMS | LC_ALL=C sort | tr '\n' ' ')" || bad=1
  for deb in "$deb_cli" "$deb_desktop"; do
    dpkg-deb -x "$deb" "$tmp/root"
  done
  # place|the text that shows the version|what it should be
  local shown=(
    "Debian changelog|$(sed -n '1s/^dbfclean (\(.*\)) .*/\1/p' packaging/debian/changelog)|$version"
    "AppStream release|$(grep -o '<release version="[^"]*"' packaging/linux/org.example.dbfclean.metainfo.xml | head -1 | cut -d'"' -f2)|$version"
    "dbfclean-cli --version|$("$tmp/root/usr/bin/dbfclean-cli" --version)|dbfclean-cli $version"
    "dbfclean --version|$("$tmp/root/usr/bin/dbfclean" --version)|dbfclean $version"
    "dbfclean-cli.exe --version|$(wine_run "$work/zip-win64/dbfclean-cli.exe" --version)|dbfclean-cli $version"
    "dbfclean.exe --version|$(wine_run "$work/zip-win64/dbfclean.exe" --version)|dbfclean $version"
  )
  for page in dbfclean-cli dbfclean; do
    shown+=("$page.1|$(zcat "$tmp/root/usr/share/man/man1/$page.1.gz" | head -1)|.TH ${page^^} 1 \"2026\" \"dbfclean $version\" \"User Commands\"")
  done
  local line
  for line in "${shown[@]}"; do
    IFS='|' read -r place value expected <<<"$line"
    if [ "$value" != "$expected" ]; then
      printf '%s shows "%s", expected "%s"\n' "$place" "$value" "$expected"
      bad=1
    fi
  done
  # The Windows version resources and the uninstall entry's DisplayVersion
  # are compared in the checks above.
  return "$bad"
}

echo "==> version $version"
check "one version: file names, Debian changelog, AppStream, manual pages, --version of the four programs, checksums" versions_agree

"$WINESERVER" --kill >/dev/null 2>&1

echo
checks_end packages
