#!/usr/bin/env bash
# Checks the Debian package that `./build.sh package` made:
#   contents   the program folder holds the executable and every side file of the build's
#              program folder and nothing else; the link, desktop entry, metainfo, icons,
#              manual page and copyright are there; no maintainer scripts
#   control    version, maintainer, section, priority, the dependencies
#   desktop    the desktop entry and the metainfo validate; both name an icon and a
#              command the package holds
#   lintian    no error (the other tags it reports are printed)
#   unpacked   unpacked into a temporary root, the program started through bin/tallyfold
#              from another folder finds its template and creates its ledger; the report
#              written to PDF from the command line
#   apt        (as root, when tallyfold is not installed yet) a real `apt-get install`,
#              the desktop entry's command started from the PATH, `apt-get remove`: the
#              user's ledger and settings stay as they were
#
#   tools/check-package.sh [PACKAGE.deb]      default: build/tallyfold_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:-$(ls -t build/tallyfold_*.deb 2>/dev/null | head -n1)}
[ -f "$deb" ] || { echo "check-package: no package; run ./build.sh package first" >&2; exit 2; }
deb=$(realpath "$deb")
program_dir=build/bin
app_id=com.marlowick.Tallyfold
version=$(sed -n 's/^project(Tallyfold VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

tools/install-missing.sh desktop-file-utils appstream lintian python3

work=$(mktemp -d /tmp/check-package.XXXXXX)
installed_by_us=0
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
  if [ "$installed_by_us" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tallyfold >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

passed=0; failed=0
pass() { passed=$((passed + 1)); echo "ok   $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; shift; for line in "$@"; do echo "     $line"; done; }

# --- contents --------------------------------------------------------------------
# Each entry as its path, a link as "path -> target" (the listing's first five columns cut).
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}\.//' > "$work/list"
want_program=(tallyfold dbBlank.mdb icon256.gif HAND-M.CUR)
for optional in ADOFix64.msu ADOFix86.msu; do
  [ -f "$program_dir/$optional" ] && want_program+=("$optional")
done
for folder in Video x; do
  [ -d "$program_dir/$folder" ] && while IFS= read -r f; do want_program+=("${f#"$program_dir"/}"); done \
    < <(find "$program_dir/$folder" -type f | sort)
done
printf '/usr/lib/tallyfold/%s\n' "${want_program[@]}" | sort > "$work/want-program"
grep '^/usr/lib/tallyfold/.*[^/]$' "$work/list" | sed 's/ -> .*//' | sort > "$work/have-program"
if diff -u "$work/want-program" "$work/have-program" > "$work/program-diff"; then
  pass "contents: the program folder holds the executable and every side file (${#want_program[@]} files)"
else
  mapfile -t lines < "$work/program-diff"
  fail "contents: the program folder differs from the build's (- missing, + extra)" "${lines[@]:2}"
fi

want_share=(
  "/usr/bin/tallyfold -> ../lib/tallyfold/tallyfold"
  "/usr/share/applications/$app_id.desktop"
  "/usr/share/metainfo/$app_id.metainfo.xml"
  "/usr/share/icons/hicolor/32x32/apps/$app_id.png"
  "/usr/share/icons/hicolor/48x48/apps/$app_id.png"
  "/usr/share/icons/hicolor/128x128/apps/$app_id.png"
  "/usr/share/icons/hicolor/256x256/apps/$app_id.png"
  "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  "/usr/share/man/man1/tallyfold.1.gz"
  "/usr/share/doc/tallyfold/copyright"
  "/usr/share/doc/tallyfold/changelog.gz"
)
missing=()
for f in "${want_share[@]}"; do grep -qxF "$f" "$work/list" || missing+=("$f"); done
outside=$(grep -v '^/usr/' "$work/list" | grep -vx '/' || true)
if [ ${#missing[@]} -eq 0 ] && [ -z "$outside" ]; then
  pass "contents: the link, desktop entry, metainfo, five icons, manual page and copyright; nothing outside /usr"
else
  fail "contents: desktop integration" "${missing[@]/#/missing: }" ${outside:+"outside /usr: $outside"}
fi

scripts=$(dpkg-deb -I "$deb" | awk '$2 ~ /^[0-9]+$/ && $3 == "bytes," { print $NF }' | grep -vxE 'control|md5sums' || true)
if [ -z "$scripts" ]; then
  pass "contents: no maintainer scripts, so installing and removing touch only the package's files"
else
  fail "contents: maintainer scripts present" "$scripts"
fi

# The licence: GPL-3.0-or-later, said alike in the copyright file and the metainfo.
copyright_text=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tallyfold/copyright)
metainfo_text=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/metainfo/$app_id.metainfo.xml")
if grep -qx "License: GPL-3.0+" <<<"$copyright_text" &&
   grep -q "/usr/share/common-licenses/GPL-3" <<<"$copyright_text" &&
   grep -q "<project_license>GPL-3.0-or-later</project_license>" <<<"$metainfo_text"; then
  pass "licence: GPL-3.0-or-later in the copyright file and the metainfo"
else
  fail "licence: the copyright file or the metainfo does not say GPL-3.0-or-later"
fi

# --- control ---------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
problems=()
[ "$(field Package)" = tallyfold ] || problems+=("Package: $(field Package)")
[ "$(field Version)" = "$version" ] || problems+=("Version: $(field Version), the project's is $version")
[ "$(field Maintainer)" = "Marlowick <support@marlowick.example>" ] || problems+=("Maintainer: $(field Maintainer)")
[ "$(field Section)" = misc ] || problems+=("Section: $(field Section)")
[ "$(field Priority)" = optional ] || problems+=("Priority: $(field Priority)")
[ "$(field Description | wc -l)" -gt 3 ] || problems+=("Description without a long part")
depends=$(field Depends)
for d in fonts-liberation libqt6widgets6 libqt6gui6 libqt6core6 libqt6printsupport6 libqt6charts6 libqt6svg6 libsqlite3-0 libpq5 libxlsxwriter libc6; do
  grep -qE "(^|, )${d}[0-9a-z.-]*( |,|$)" <<<"$depends" || problems+=("Depends lacks $d: $depends")
done
grep -q xdg-utils <<<"$(field Recommends)" || problems+=("Recommends lacks xdg-utils")
if [ ${#problems[@]} -eq 0 ]; then
  pass "control: version $version, maintainer, section, priority, description, dependencies"
else
  fail "control" "${problems[@]}"
fi

# --- desktop entry and metainfo -----------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
  pass "desktop: desktop-file-validate"
else
  fail "desktop: desktop-file-validate" "$out"
fi
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
  pass "desktop: appstreamcli validate --no-net"
else
  mapfile -t lines <<<"$out"
  fail "desktop: appstreamcli validate --no-net" "${lines[@]}"
fi
problems=()
icon=$(sed -n 's/^Icon=//p' "$desktop")
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$icon" = "$app_id" ] || problems+=("desktop entry's Icon=$icon")
grep -q "<icon type=\"stock\">$icon</icon>" "$metainfo" || problems+=("metainfo names another icon than $icon")
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || problems+=("metainfo launches another desktop entry")
[ -L "$root/usr/bin/${exec_line%% *}" ] || problems+=("Exec=$exec_line is not the package's usr/bin/tallyfold")
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)
[ "$release" = "$version" ] || problems+=("the metainfo's newest release is $release, the package is $version")
changelog=$(zcat "$root/usr/share/doc/tallyfold/changelog.gz" | head -n1)
[[ "$changelog" == "tallyfold ($version) "* ]] || problems+=("the changelog starts: $changelog")
zcat "$root/usr/share/man/man1/tallyfold.1.gz" | grep -q "^\.TH TALLYFOLD 1 .*\"Tallyfold $version\"" || problems+=("the manual page names another version")
if [ ${#problems[@]} -eq 0 ]; then
  pass "desktop: icon, command, release $version, changelog and manual page agree with the package"
else
  fail "desktop: icon, command and version agree" "${problems[@]}"
fi

# --- lintian -----------------------------------------------------------------------
lintian_out=$(lintian --fail-on error --display-info "$deb" 2>&1) && lintian_rc=0 || lintian_rc=$?
lintian_out=$(grep -v 'running with root privileges' <<<"$lintian_out" || true)
if [ "$lintian_rc" = 0 ]; then
  pass "lintian: no error"
  [ -z "$lintian_out" ] || sed 's/^/     /' <<<"$lintian_out"
else
  mapfile -t lines <<<"$lintian_out"
  fail "lintian" "${lines[@]}"
fi

# --- the program, started the way a user starts it ------------------------------------
# run_program HOME COMMAND...: starts the program with a fresh home from another folder
# and waits for its ledger to hold the template's tables; false, with what went wrong in
# $work/problems, when it does not.
ledger_of() { echo "$1/data/Marlowick/Tallyfold/dbData.mdb"; }
settings_of() { echo "$1/config/Marlowick/Tallyfold.conf"; }
ledger_tables() {
  python3 - "$1" 2>/dev/null <<'EOF' || true
import sqlite3, sys
db = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
tables = (r[0] for r in db.execute("select name from sqlite_master where type = 'table'"))
print(" ".join(sorted(t for t in tables if not t.startswith("sqlite_"))))
EOF
}
# in_home HOME COMMAND...: becomes the command, run from another folder with HOME and the
# XDG folders inside HOME, as a fresh user would run it. Replaces the calling shell, so
# it is called in a subshell.
in_home() {
  local home=$1; shift
  mkdir -p "$home" "$work/elsewhere"
  cd "$work/elsewhere"
  exec env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$work" "$@"
}
run_program() {
  local home=$1; shift
  local ledger tables="" expected
  ledger=$(ledger_of "$home")
  expected=$(ledger_tables "$root/usr/lib/tallyfold/dbBlank.mdb")
  (in_home "$home" env QT_QPA_PLATFORM=offscreen "$@" > "$home.log" 2>&1) &
  app_pid=$!
  for _ in $(seq 100); do
    [ -f "$ledger" ] && tables=$(ledger_tables "$ledger")
    [ -n "$tables" ] && [ "$tables" = "$expected" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  [ -n "$tables" ] && [ "$tables" = "$expected" ] && return 0
  { echo "no ledger with the template's tables ($expected) at $ledger (tables: ${tables:-none}); program output:"
    tail -n 5 "$home.log" 2>/dev/null || true; } > "$work/problems"
  return 1
}

if run_program "$work/home-unpacked" "$root/usr/bin/tallyfold"; then
  pass "unpacked: usr/bin/tallyfold, started from another folder, found its template and made the ledger"
else
  mapfile -t lines < "$work/problems"
  fail "unpacked: the program through its link" "${lines[@]}"
fi

pdf=$work/home-unpacked/report.pdf
if (in_home "$work/home-unpacked" timeout 60 "$root/usr/bin/tallyfold" --report-pdf "$pdf" > "$work/report.log" 2>&1) \
   && [ "$(head -c 5 "$pdf" 2>/dev/null)" = "%PDF-" ]; then
  pass "unpacked: usr/bin/tallyfold --report-pdf wrote the report without a window"
else
  mapfile -t lines < "$work/report.log"
  fail "unpacked: usr/bin/tallyfold --report-pdf" "${lines[@]}"
fi

# --- a real install and removal ----------------------------------------------------
if [ "$(id -u)" -ne 0 ]; then
  echo "skip apt: not root"
elif dpkg-query -W -f='${Status}' tallyfold 2>/dev/null | grep -q "install ok installed"; then
  echo "skip apt: tallyfold is installed already and is left alone"
else
  home=$work/home-installed
  if ! apt_out=$(DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" 2>&1); then
    mapfile -t lines <<<"$apt_out"
    fail "apt: install" "${lines[@]}"
  else
    installed_by_us=1
    desktop_exec=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop")
    : > "$work/problems"
    # The desktop entry's command word-split as the desktop does; it holds no field codes.
    # shellcheck disable=SC2086
    if run_program "$home" $desktop_exec && [ "$(command -v "${desktop_exec%% *}")" = /usr/bin/tallyfold ] \
       && [ -f "$(settings_of "$home")" ]; then
      pass "apt: installed; the desktop entry's command '$desktop_exec' started from the PATH made the ledger and settings"
    else
      mapfile -t lines < "$work/problems"
      fail "apt: the installed program" "command: $(command -v "${desktop_exec%% *}" || echo none)" "${lines[@]}"
    fi
    before=$(cd "$home" && find . -type f -exec md5sum {} + | sort)
    remove_out=$(DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tallyfold 2>&1) && installed_by_us=0
    after=$(cd "$home" && find . -type f -exec md5sum {} + | sort)
    problems=()
    [ "$installed_by_us" = 0 ] || problems+=("apt-get remove failed: $remove_out")
    [ ! -e /usr/lib/tallyfold ] && [ ! -e /usr/bin/tallyfold ] && [ ! -e "/usr/share/applications/$app_id.desktop" ] \
      || problems+=("files left behind: $(ls -d /usr/lib/tallyfold /usr/bin/tallyfold /usr/share/applications/$app_id.desktop 2>/dev/null | tr '\n' ' ')")
    [ "$before" = "$after" ] || problems+=("the user's files changed:" "$before" "->" "$after")
    grep -q 'dbData.mdb' <<<"$after" && grep -q 'Tallyfold.conf' <<<"$after" || problems+=("ledger or settings gone: $after")
    if [ ${#problems[@]} -eq 0 ]; then
      pass "apt: removed; the user's ledger and settings are left as they were"
    else
      fail "apt: remove" "${problems[@]}"
    fi
  fi
fi

echo "check-package: $passed of $((passed + failed)) checks passed"
[ "$failed" -eq 0 ]
