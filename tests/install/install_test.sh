#!/bin/sh
# Installs a build into a temporary prefix and uses what was installed as a user would: the
# runner, the man page and the desktop files are in place, and the `kinklab` command starts
# the window (offscreen) from an unrelated folder in a fresh home, making the per-user folder
# with the side files; a settings file the user edited is kept at the next start, while an
# unedited copy follows a newer install.
# Usage: install_test.sh BUILD_FOLDER
set -eu
build=$1
work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install"
for f in bin/kinklab bin/kinklab-run libexec/kinklab/kinklab share/man/man1/kinklab-run.1 \
         share/applications/kinklab.desktop share/icons/hicolor/scalable/apps/kinklab.svg \
         share/kinklab/KQ_ini.txt share/kinklab/KQ_mix.txt share/kinklab/KQ_rus.txt share/kinklab/KQ_eng.txt; do
  [ -f "$prefix/$f" ] || fail "$f not installed"
done
grep -q '^Exec=kinklab$' "$prefix/share/applications/kinklab.desktop" || fail "desktop entry"
grep -q '^\.TH KINKLAB-RUN' "$prefix/share/man/man1/kinklab-run.1" && grep -q 'scan' "$prefix/share/man/man1/kinklab-run.1" || fail "the man page"

mkdir "$work/elsewhere" "$work/home"
cd "$work/elsewhere"
version=$("$prefix/bin/kinklab-run" --version) || fail "kinklab-run --version"
case $version in "kinklab-run "[0-9]*) ;; *) fail "kinklab-run --version printed: $version" ;; esac
# The Python module, from the prefix's package folder, as Debian's python3 finds it there.
if [ -d "$build/python/kinklab" ]; then
  packages=$(ls -d "$prefix"/lib/python3*/dist-packages 2>/dev/null | head -1)
  [ -f "$packages/kinklab/__init__.py" ] || fail "the Python package not installed under $prefix/lib"
  mass=$(PYTHONPATH=$packages /usr/bin/python3 -c 'import kinklab; print(kinklab.Model(kind=1).static_kink().rest_mass)') ||
    fail "import kinklab from $packages"
  case $mass in 0.94280904*) ;; *) fail "the installed module's phi4 rest mass: $mass (2 sqrt(2)/3 = 0.942809...)" ;; esac
else
  echo "the Python module: skipped (not built in $build)"
fi

own=$work/home/.local/share/kinklab
# Starts the installed window and waits until its start-up has written the log file named
# by the settings (the last step of start-up), then ends it.
start_window() {
  log=$1
  rm -f "$own/$log"
  env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen "$prefix/bin/kinklab" > "$work/window.out" 2>&1 &
  pid=$!
  tries=0
  while [ ! -s "$own/$log" ]; do
    kill -0 "$pid" 2>/dev/null || { cat "$work/window.out" >&2; fail "the window ended during start-up"; }
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || fail "no $log after start-up"
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null || fail "the window ended after start-up"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
}

start_window KQ_log.txt
for f in KQ_ini.txt KQ_mix.txt KQ_rus.txt KQ_eng.txt; do
  cmp -s "$prefix/share/kinklab/$f" "$own/$f" || fail "$f not copied into the user's folder"
done
[ ! -e "$work/elsewhere/KQ_log.txt" ] || fail "the log was written into the folder it was started from"
head -1 "$own/KQ_log.txt" | grep -q 't=.*E=' || fail "the log has no header line"

# The user names another log; a newer install changes the settings and the English help.
sed -i '3s/.*/mylog/' "$own/KQ_ini.txt"
printf '\n' >> "$prefix/share/kinklab/KQ_ini.txt"
printf '\n' >> "$prefix/share/kinklab/KQ_eng.txt"
start_window mylog.txt
grep -qx 'mylog' "$own/KQ_ini.txt" || fail "the user's settings were overwritten"
cmp -s "$prefix/share/kinklab/KQ_eng.txt" "$own/KQ_eng.txt" || fail "an unedited copy did not follow the install"
echo "installed and started from $prefix"
