#!/usr/bin/env bash
# The embedded default for a new user: a per-user SQLite database behind the data source
# "MorvaneDemo" and, only while the settings are still empty, the sample folder and that data
# source as the remembered connection. Nothing that exists is changed.
# Usage: scripts/setup-demo.sh APPLICATION_FOLDER
set -euo pipefail
app_folder=$1

data_home=${XDG_DATA_HOME:-$HOME/.local/share}
database="$data_home/Morvane/MorvaneDemo.sqlite"
odbc_ini=${ODBCINI:-$HOME/.odbc.ini}
driver=$(find /usr/lib -name libsqlite3odbc.so -print -quit 2>/dev/null || true)

mkdir -p "$(dirname "$database")"
if ! grep -q '^\[MorvaneDemo\]' "$odbc_ini" 2>/dev/null; then
    [[ -n "$driver" ]] || { echo "The SQLite ODBC driver (libsqliteodbc) is missing." >&2; exit 1; }
    cat >> "$odbc_ini" <<INI

[MorvaneDemo]
Description = Morvane demonstration database (SQLite)
Driver = $driver
Database = $database
JournalMode = WAL
SyncPragma = NORMAL
INI
    echo "Added the data source MorvaneDemo to $odbc_ini"
fi

settings="${XDG_CONFIG_HOME:-$HOME/.config}/Quellory/Quellory.ini"
if ! grep -qE '^(ParadoxFolder|DataSourceName)=.+' "$settings" 2>/dev/null; then
    mkdir -p "$(dirname "$settings")"
    cat > "$settings" <<INI
[Morvane%20Conversion%20Software]
ParadoxFolder=$app_folder/Samples
DataSourceName=MorvaneDemo
INI
    echo "Remembered the sample folder and MorvaneDemo in $settings"
fi
