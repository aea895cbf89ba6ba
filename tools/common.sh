# shellcheck shell=bash
# Sourced by the scripts that run the program (run.sh, measure-perf.sh and the
# tests' wrappers): a private runtime folder, a reveal that opens no file
# manager, the re-run under a virtual display, and the wait until a batch is
# over. Sets no shell options of its own.

# The virtual display's screen.
qmk_screen="1280x800x24"

# Runs the command on a new virtual display, and returns its status.
qmk_on_virtual_display() {
  xvfb-run -a -s "-screen 0 $qmk_screen" "$@"
}

# The same, in place of this shell.
qmk_exec_on_virtual_display() {
  exec xvfb-run -a -s "-screen 0 $qmk_screen" "$@"
}

# Runs the command in place of this shell: on the display there is, or on a
# virtual one when there is none. With --x11 first, only an X display counts
# (for commands that look at windows through X).
qmk_exec_on_display() {
  local kind=any
  if [ "$1" = --x11 ]; then kind=x11; shift; fi
  if qmk_has_display "$kind"; then
    exec "$@"
  fi
  qmk_exec_on_virtual_display "$@"
}

# Whether there is a display: an X one ($1 = x11), or any (X or Wayland).
qmk_has_display() {
  [ -n "${DISPLAY:-}" ] || { [ "${1:-any}" = any ] && [ -n "${WAYLAND_DISPLAY:-}" ]; }
}

# Makes a runtime folder of the program's own under $1 and exports it, so that
# no copy of the program already running for this user takes the documents
# (later launches hand their documents over through it). The caller removes it.
qmk_private_runtime() {
  XDG_RUNTIME_DIR=$(mktemp -d "$1/quillmark-runtime.XXXXXX")
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
}

# Keeps the desktop's file manager out of what follows in this shell: the
# program's reveal at the end of a batch finds no session bus (an address below
# a file, where no bus can listen, so none is started either) and falls back to
# xdg-open, here a stand-in made under $1 and put first on the PATH. It opens
# nothing and appends one line a call to $1/reveal/xdg-open.calls: its
# arguments, each quoted as printf %q quotes it, separated by spaces. The
# caller removes $1.
qmk_recording_reveal() {
  local dir=$1/reveal
  mkdir -p "$dir"
  cat >"$dir/xdg-open" <<'EOF'
#!/usr/bin/env bash
printf -v call '%q ' "$@"
printf '%s\n' "${call% }" >>"$0.calls"
EOF
  chmod 755 "$dir/xdg-open"
  PATH="$dir:$PATH"
  DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null/no-bus
  export PATH DBUS_SESSION_BUS_ADDRESS
}

# Waits up to $2 seconds for the stand-in made under $1 to be called, then
# prints its calls, one a line. Returns 1 when it was not called.
qmk_revealed() {
  local calls=$1/reveal/xdg-open.calls deadline=$((SECONDS + $2))
  while [ ! -s "$calls" ] && ((SECONDS < deadline)); do sleep 0.2; done
  [ -s "$calls" ] && cat "$calls"
}

# Runs the function named $1 on every exit of the script, also when it is
# interrupted or terminated.
qmk_on_exit() {
  # shellcheck disable=SC2064 # the name is expanded now, on purpose
  trap "$1" EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# Processor time that process $1 has used (clock ticks), or "gone".
qmk_cpu_ticks() {
  awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo gone
}

# The sizes of the files, "-" for a missing one, on one line.
qmk_sizes() {
  local f
  for f in "$@"; do stat -c %s "$f" 2>/dev/null || echo -; done | tr '\n' ' '
}

# Waits until the batch of program $1 is over: every file named after the
# timeout is there, none grows, and the program uses no processor time, for
# two seconds (four looks half a second apart). $2 is the timeout in seconds.
# Returns 0 then, 1 on the timeout, 2 when the program ends first.
qmk_wait_until_quiet() {
  local pid=$1 deadline=$((SECONDS + $2))
  shift 2
  local last="" now f all quiet=0
  while ((SECONDS < deadline)); do
    kill -0 "$pid" 2>/dev/null || return 2
    all=1
    for f in "$@"; do [ -e "$f" ] || all=0; done
    now="$(qmk_cpu_ticks "$pid") $(qmk_sizes "$@")"
    if ((all)) && [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
    last=$now
    ((quiet >= 4)) && return 0
    sleep 0.5
  done
  return 1
}
