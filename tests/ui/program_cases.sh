#!/bin/sh
# The lectoria program on Qt's offscreen platform: its hold on the run directory, its refusal
# of one it cannot use, and its end on SIGTERM during start-up.
# Usage: program_cases.sh LECTORIA WORKDIR CASE
set -u
bin=$1
home=$2/$3
rm -rf "$home"
mkdir -p "$home"
export QT_QPA_PLATFORM=offscreen LECTORIA_AUDIO=silent

# Programs started in the background, ended with the script whatever happens.
started=""
trap 'for p in $started; do kill -KILL "$p" 2>/dev/null; done' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits up to $2 seconds for the shell condition $1.
wait_for() {
  tenths=0
  while ! eval "$1"; do
    tenths=$((tenths + 1))
    [ "$tenths" -gt $(($2 * 10)) ] && return 1
    sleep 0.1
  done
}

# Waits up to $2 seconds for process $1 to end; its exit status goes to $status.
ends_within() {
  wait_for "! kill -0 $1 2>/dev/null" "$2" || return 1
  wait "$1"
  status=$?
}

case $3 in
second_program)
  touch "$home/.config.ini.999999.0.tmp" # left by a save that a crash interrupted
  "$bin" --home "$home" &
  first=$!
  started=$first
  wait_for '[ -d "$home/temp" ]' 20 || fail "the first program did not start"
  [ ! -e "$home/.config.ini.999999.0.tmp" ] || fail "the stale save file was kept"
  touch "$home/temp/7.mp3"
  timeout 20 "$bin" --home "$home" 2>"$home/second.err"
  status=$?
  [ "$status" -ne 124 ] || fail "the second program ran along with the first"
  [ "$status" -ne 0 ] || fail "the second program did not fail"
  grep -q "already running" "$home/second.err" || fail "no message: $(cat "$home/second.err")"
  [ -e "$home/temp/7.mp3" ] || fail "the second program touched the first one's audio cache"
  kill -TERM "$first"
  ends_within "$first" 5 || fail "the first program did not end"
  [ "$status" -eq 0 ] || fail "the first program ended with $status"
  [ ! -e "$home/temp" ] || fail "temp/ was left"
  ;;
unusable_run_dir)
  echo x >"$home/file"
  for dir in "$home/file" "$home/file/below"; do
    "$bin" --home "$dir" 2>"$home/err"
    [ $? -ne 0 ] || fail "started on $dir"
    grep -q "not a directory" "$home/err" || fail "no message: $(cat "$home/err")"
  done
  ;;
sigterm_during_start)
  # A damaged position once kept start-up busy for hours, deaf to SIGTERM.
  mkdir -p "$home/data"
  printf '\265\332\322\273\325\302\r\n\322\273\276\344\273\260\241\243\r\n' >"$home/data/1.txt"
  printf '[\312\364\320\324]\r\n\325\302\275\332\312\375=1\r\n\324\304\266\301\300\372\312\267=-2000000000\r\n' \
    >"$home/data/data.ini"
  "$bin" --home "$home" &
  pid=$!
  started=$pid
  sleep 0.3
  kill -TERM "$pid"
  ends_within "$pid" 5 || fail "SIGTERM did not end the program"
  ;;
*)
  fail "unknown case $3"
  ;;
esac
echo "ok: $3"
