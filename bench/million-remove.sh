#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The removal of every copy of an imported library, whole job, with the service running:
#   bench/million-remove.sh APPDIR LIBDIR [options]
# LIBDIR holds data/ (the XDG_DATA_HOME of the import) and music/; both are snapshotted the first time
# (data.orig, music.orig) and restored from the snapshot before every run, so the run can be repeated.
set -e
app=$1; lib=$2; shift 2
[ -d $lib/data.orig ] || cp -a $lib/data $lib/data.orig
[ -d $lib/music.orig ] || cp -a $lib/music $lib/music.orig
rm -rf $lib/data $lib/music; cp -a $lib/data.orig $lib/data; cp -a $lib/music.orig $lib/music
exec dbus-run-session -- bash -c '
app=$1; export XDG_DATA_HOME=$2; shift 2
$app/tidyfox-clean dead --json > /dev/null
pid=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID string:org.tidyfox.Library | tail -1 | awk "{print \$2}")
cpu() { awk "{printf \"%.2f\", (\$14+\$15)/100}" /proc/$pid/stat; }
before=$(cpu)
uptime | sed "s/.*load/load/"
/usr/bin/time -f "remove %e s wall %U+%S cpu %M KB" $app/tidyfox-clean duplicates --by name,artist --remove "$@" > $XDG_DATA_HOME/../remove.out 2>&1 || echo "exit $?"
tail -3 $XDG_DATA_HOME/../remove.out
echo "service processor during the removal: $before -> $(cpu) s"
grep VmHWM /proc/$pid/status
$app/tidyfox-clean duplicates --by name,artist --json | head -c 300; echo
$app/tidyfox-library quit' _ "$app" "$lib/data" "$@"
