#!/bin/sh
# scanbd action script: a press of the device's scan, file or fax button starts Scanner
# Utility in the session of the user logged in at the seat, which scans to that
# button's destination (a running instance takes the request over).
#
# scanbd runs its scripts as a system service with SCANBD_ACTION (the action's name)
# and SCANBD_DEVICE (the SANE device) set. The program reads the same two variables:
# SCANBD_ACTION then carries the program's event name for the destination, and
# SCANBD_DEVICE the device it scans from.
#
# Settings (environment): SCANNER_UTILITY  the program (default: the installed one, else
#                                          scanner-utility on PATH)
#                         SCANNER_UTILITY_SEAT  the seat whose user is served (seat0)
set -u

case "${SCANBD_ACTION:-}" in
    scan) event="{552587DE-8F3A-4A82-B433-B75C5E43DC5A}" ;; # Scan To Application1
    file) event="{552587DE-8F3A-4A82-B433-B75C5E43DC5C}" ;; # Scan To Folder
    fax) event="{552587DE-8F3A-4A82-B433-B75C5E43DC5D}" ;;  # Scan To PC-Fax
    \{*\}) event="$SCANBD_ACTION" ;;                        # an event name already
    *)
        echo "scanner-utility-push: action '${SCANBD_ACTION:-}' starts no scan" >&2
        exit 0
        ;;
esac
if [ -z "${SCANBD_DEVICE:-}" ]; then
    echo "scanner-utility-push: no device given" >&2
    exit 0
fi

program="${SCANNER_UTILITY:-}"
if [ -z "$program" ]; then
    for candidate in /usr/lib/scanner-utility/scanner-utility /usr/lib/*/scanner-utility/scanner-utility \
        /usr/local/lib/scanner-utility/scanner-utility /usr/local/lib/*/scanner-utility/scanner-utility; do
        [ -x "$candidate" ] && { program="$candidate"; break; }
    done
    [ -n "$program" ] || program="$(command -v scanner-utility || true)"
fi
if [ -z "$program" ]; then
    echo "scanner-utility-push: scanner-utility is not installed" >&2
    exit 1
fi

# The session at the seat: its user, runtime folder and display.
seat="${SCANNER_UTILITY_SEAT:-seat0}"
session="$(loginctl show-seat "$seat" -p ActiveSession --value 2>/dev/null)"
if [ -z "$session" ]; then
    echo "scanner-utility-push: nobody is logged in at $seat" >&2
    exit 0
fi
uid="$(loginctl show-session "$session" -p User --value)"
user="$(loginctl show-session "$session" -p Name --value)"
display="$(loginctl show-session "$session" -p Display --value)"
runtime="/run/user/$uid"
home="$(getent passwd "$user" | cut -d: -f6)"

set -- env XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" \
    SCANBD_ACTION="$event" SCANBD_DEVICE="$SCANBD_DEVICE"
[ -n "$home" ] && set -- "$@" HOME="$home"
[ -n "$display" ] && set -- "$@" DISPLAY="$display"
for xauthority in "$runtime/gdm/Xauthority" "$home/.Xauthority"; do
    [ -n "$display" ] && [ -r "$xauthority" ] && { set -- "$@" XAUTHORITY="$xauthority"; break; }
done
for wayland in "$runtime"/wayland-[0-9]; do
    [ -S "$wayland" ] && { set -- "$@" WAYLAND_DISPLAY="$(basename "$wayland")"; break; }
done
set -- "$@" "$program"

# Detached: scanbd goes back to watching the buttons at once.
if [ "$(id -u)" = "$uid" ]; then
    setsid "$@" > /dev/null 2>&1 < /dev/null &
elif [ "$(id -u)" = 0 ]; then
    setsid runuser -u "$user" -- "$@" > /dev/null 2>&1 < /dev/null &
else
    echo "scanner-utility-push: cannot start a program for $user as $(id -un)" >&2
    exit 1
fi
exit 0
