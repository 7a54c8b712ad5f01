#!/bin/bash
# The scanbd action script with stand-ins for loginctl, getent, id, setsid and runuser:
# each button action starts the program for the seat's user with that user's runtime
# folder and display, the event name of its destination and the device passed on; an
# unknown action and a missing device start nothing.
set -euo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cat > "$work/bin/loginctl" <<'STUB'
#!/bin/sh
case "$*" in
  "show-seat seat0 -p ActiveSession --value") echo 7 ;;
  "show-session 7 -p User --value") echo 1234 ;;
  "show-session 7 -p Name --value") echo alice ;;
  "show-session 7 -p Display --value") echo :3 ;;
esac
STUB
cat > "$work/bin/getent" <<'STUB'
#!/bin/sh
echo "alice:x:1234:1234::/home/alice:/bin/sh"
STUB
cat > "$work/bin/id" <<'STUB'
#!/bin/sh
[ "$1" = "-u" ] && echo 0 || echo root
STUB
cat > "$work/bin/setsid" <<'STUB'
#!/bin/sh
exec "$@"
STUB
# runuser -u USER -- env VAR=... PROGRAM: records the user and the program's environment.
cat > "$work/bin/runuser" <<STUB
#!/bin/sh
echo "user=\$2" > "$work/started"
shift 3
"\$@"
STUB
cat > "$work/program" <<STUB
#!/bin/sh
env | sort >> "$work/started"
STUB
chmod +x "$work/bin/"* "$work/program"

run() {
    rm -f "$work/started"
    PATH="$work/bin:$PATH" SCANNER_UTILITY="$work/program" SCANBD_ACTION="$1" SCANBD_DEVICE="$2" sh "$script" 2>/dev/null
    for _ in $(seq "${3:-50}"); do [ -s "$work/started" ] && grep -q SCANBD_DEVICE "$work/started" && break; sleep 0.1; done
}
expect() {
    grep -qx -- "$1" "$work/started" || { echo "missing: $1"; cat "$work/started" 2>/dev/null; exit 1; }
}

for pair in "scan {552587DE-8F3A-4A82-B433-B75C5E43DC5A}" "file {552587DE-8F3A-4A82-B433-B75C5E43DC5C}" \
            "fax {552587DE-8F3A-4A82-B433-B75C5E43DC5D}" "{552587de-8f3a-4a82-b433-b75c5e43dc5c} {552587de-8f3a-4a82-b433-b75c5e43dc5c}"; do
    set -- $pair
    run "$1" "test:0"
    expect "user=alice"
    expect "SCANBD_ACTION=$2"
    expect "SCANBD_DEVICE=test:0"
    expect "XDG_RUNTIME_DIR=/run/user/1234"
    expect "DISPLAY=:3"
    expect "HOME=/home/alice"
done

run copy test:0 3
[ ! -e "$work/started" ] || { echo "an unknown action started the program"; exit 1; }
run scan "" 3
[ ! -e "$work/started" ] || { echo "a start without a device started the program"; exit 1; }
echo "scanbd action script: ok"
