# Shared by the Wine test drivers and scripts/{demo,bench,screenshots}: runs Wine in a private
# prefix on a private X display, with every background process tracked by its pid and ended
# by the EXIT trap, whatever happens.
#
# Safety: a prefix made by wineboot maps Z: to the host's / and links the user folders to the
# host's home. The template prefix drops both (make_template.sh), HOME points into the work
# folder, and wine_check_prefix refuses a prefix that got them back, so a wrong path in the
# program under test can never reach a host file.

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

# Wine must never stop to offer its Mono or Gecko installers; nothing here needs them. Nor
# may it write menu entries for the host's desktop (winemenubuilder) from a throwaway prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=${WINEDEBUG:--all}
unset WINEARCH
# Wine takes its locale from the host's environment: C.UTF-8 (on every Debian) makes the
# prefix's ANSI code page the Western 1252, which uninstall-sim assumes unless an image says
# otherwise, and lets host file names carry every character in UTF-8. A host set to, say,
# ru_RU would give the program code page 1251 and another run than the emulator's.
export LC_ALL=C.UTF-8

WINE_PIDS=()

wine_log() { printf '%s\n' "$*" >&2; }

# wine_track PID: ended by wine_cleanup.
wine_track() { WINE_PIDS+=("$1"); }

# Ends a process by its pid: TERM, a grace period, then KILL.
wine_end_pid() {
  local pid=$1 i
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null
  for i in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

wine_cleanup() {
  local pid
  if [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-/nonexistent} ]]; then
    timeout 10 "$WINESERVER" -k >/dev/null 2>&1 || true
  fi
  for pid in "${WINE_PIDS[@]}"; do wine_end_pid "$pid"; done
  WINE_PIDS=()
}

# wine_use_prefix PREFIX WORK: every Wine call from now on goes to PREFIX, with HOME in WORK.
wine_use_prefix() {
  export WINEPREFIX=$1
  export HOME=$2/home
  mkdir -p "$HOME"
  # The working folder is inside the prefix: a host folder would need the Z: drive.
  cd "$WINEPREFIX/drive_c" || return 1
}

# wine_case_prefix WORK CASE_DIR: a copy of WORK's template prefix in CASE_DIR/prefix, checked
# and in use (wine_use_prefix).
wine_case_prefix() {
  cp -a "$1/template/prefix" "$2/prefix" || return 1
  wine_check_prefix "$2/prefix" || return 1
  wine_use_prefix "$2/prefix" "$2"
}

# wine_begin_case WORK ARCH CASE_DIR: CASE_DIR made anew with a copy of WORK's template prefix
# in use, 32-bit programs able to run where ARCH is i686, and whatever the case starts ended
# when the script exits. Returns wine_use_i386's 77 where this machine cannot run 32-bit Wine.
wine_begin_case() {
  local work=$1 arch=$2 case_dir=$3 status
  [[ -f $work/template/ready ]] || { wine_log "no template prefix in $work (wine_template failed?)"; return 1; }
  if [[ $arch == i686 ]]; then
    wine_use_i386 "$work"
    status=$?
    ((status == 0)) || return $status
  fi
  trap wine_cleanup EXIT
  rm -rf "$case_dir"
  mkdir -p "$case_dir"
  wine_case_prefix "$work" "$case_dir"
}

# wine_drop_prefix CASE_DIR: the prefix in use, a gigabyte and more, goes once its case is done
# with it; what the case wrote beside it stays. A server Wine started on its own lingers a few
# seconds after the last program and writes the registry into the prefix as it ends; removing
# the prefix under it fails, so it is waited for first.
wine_drop_prefix() {
  timeout 30 "$WINESERVER" -w >/dev/null 2>&1
  cd "$1" && rm -rf "$WINEPREFIX"
}

# wine_use_i386 WORK: every Wine call from now on can run 32-bit programs, through the i386
# Wine that tests/wine/qemu/setup_i386.sh set up in WORK/i386. Returns 77, saying why, where
# the set-up found this machine unable to, and 1 where it has not run or failed.
wine_use_i386() {
  local dir=$1/i386 status
  status=$(cat "$dir/status" 2>/dev/null) ||
    { wine_log "no i386 Wine in $dir (tests/wine/qemu/setup_i386.sh did not run or failed)"; return 1; }
  case $status in
    ready) source "$dir/env.sh" && WINE_RUNNER='C:\orbtest\orbrun32.exe' ;;
    skip:*) echo "SKIPPED: ${status#skip: }"; return 77 ;;
    *) wine_log "unknown i386 set-up status in $dir: $status"; return 1 ;;
  esac
}

# Refuses a prefix through which Windows paths could reach host files.
wine_check_prefix() {
  local prefix=$1 link
  for link in "$prefix"/dosdevices/*; do
    case $(basename "$link") in
      c:) [[ $(readlink "$link") == ../drive_c ]] || { wine_log "unsafe prefix: $link"; return 1; } ;;
      com*|lpt*) ;;
      [d-y]:) [[ $(readlink "$link") == ../drive_? ]] || { wine_log "unsafe prefix: $link"; return 1; } ;;
      *) wine_log "unsafe prefix: $link -> $(readlink "$link")"; return 1 ;;
    esac
  done
  if [[ -n $(find "$prefix/drive_c" -type l -print -quit) ]]; then
    wine_log "unsafe prefix: links in drive_c: $(find "$prefix/drive_c" -type l | head -3)"
    return 1
  fi
}

# wine_start_display FBDIR: a private Xvfb whose screen is the file FBDIR/Xvfb_screen0.
# Sets DISPLAY.
wine_start_display() {
  local fbdir=$1 number_file i
  mkdir -p "$fbdir"
  number_file=$fbdir/display
  rm -f "$number_file"
  Xvfb -displayfd 3 -nocursor -screen 0 800x600x24 -fbdir "$fbdir" -nolisten tcp -noreset \
    3>"$number_file" >"$fbdir/xvfb.log" 2>&1 &
  wine_track $!
  for i in $(seq 1 100); do
    if [[ -s $number_file ]]; then
      export DISPLAY=:$(tr -d '\n' <"$number_file")
      return 0
    fi
    sleep 0.1
  done
  wine_log "Xvfb did not start: $(cat "$fbdir/xvfb.log")"
  return 1
}

# A wineserver of our own for the prefix, so the session (and the deletions it holds back
# until the next one) is ours from the registry import to the dump.
wine_start_server() {
  "$WINESERVER" -f -p >"$1" 2>&1 &
  wine_track $!
  WINE_SERVER_PID=$!
}

# Ends the session and waits for its server, at most 20 s.
wine_end_server() {
  local i
  timeout 10 "$WINESERVER" -k >/dev/null 2>&1 || true
  for i in $(seq 1 200); do
    kill -0 "$WINE_SERVER_PID" 2>/dev/null || { wait "$WINE_SERVER_PID" 2>/dev/null; return 0; }
    sleep 0.1
  done
  wine_log "wineserver did not end; killing it"
  wine_end_pid "$WINE_SERVER_PID"
}

# wine_screenshot FBDIR "L T R B" OUT.png: the part of the screen inside the frame.
wine_screenshot() {
  local fbdir=$1 out=$3 left top right bottom
  read -r left top right bottom <<<"$2"
  convert "xwd:$fbdir/Xvfb_screen0" -crop "$((right - left))x$((bottom - top))+$left+$top" \
    +repage -strip -define png:exclude-chunks=date,time "$out"
}

# The helper that runs the program: orbrun32.exe for the i686 exe (wine_use_i386 sets it).
WINE_RUNNER='C:\orbtest\orbrun.exe'

# wine_run_plan LOG [SHOTS_DIR]: runs $WINE_RUNNER on C:\orbtest\plan.txt, Wine's
# messages (and debug channels, when WINEDEBUG asks for some) going to LOG. With SHOTS_DIR,
# takes a screenshot of every box before it is answered (box-N.png). Returns orbrun's status.
wine_run_plan() {
  local log=$1 shots=${2:-} out=$WINEPREFIX/drive_c/orbtest/out pid n=1 status frame
  # orbrun gives the program 60 s (the plan's timeout_ms) and still dumps after that; this
  # outer limit only catches orbrun itself hanging. Both stay well inside CTest's limit, so
  # the EXIT trap always gets to end what was started.
  timeout 90 "$WINE64" "$WINE_RUNNER" 'C:\orbtest\plan.txt' </dev/null >"$log" 2>&1 &
  pid=$!
  wine_track "$pid"
  while kill -0 "$pid" 2>/dev/null; do
    if [[ -n $shots && -f $out/box-$n.ready ]]; then
      frame=$(cat "$out/box-$n.ready")
      wine_screenshot "$FBDIR" "$frame" "$shots/box-$n.png" || wine_log "screenshot $n failed"
      : >"$out/box-$n.go"
      n=$((n + 1))
    fi
    sleep 0.05
  done
  wait "$pid"
  status=$?
  return $status
}
