# Shared by the HTTP benchmarks (sourced, not run): starts `tabrix demo
# --serve` on a demo folder, logs sessions in and finds a table's code.
#
# Needs: $tabrix (the program), $demo (the demo folder), $work (a scratch
# folder the caller removes), demo_args (extra `tabrix demo` words).
# Sets: server_pid, base (http://127.0.0.1:PORT), password (of "admin").

# Starts the server and waits (at most a minute) for its address.
start_demo_server() {
  "$tabrix" demo --dir "$demo" --serve --listen 127.0.0.1:0 "${demo_args[@]}" \
    >"$work/server.log" 2>&1 &
  server_pid=$!
  base=
  for _ in $(seq 1 300); do
    base=$(sed -n 's|^Tabrix demo: \(http://[^ ]*\)$|\1|p' "$work/server.log")
    [[ -n $base ]] && break
    kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.log" >&2; exit 1; }
    sleep 0.2
  done
  [[ -n $base ]] || { echo "bench: the server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
  password=$(sed -n 's|^login admin \([^ ]*\) .*|\1|p' "$work/server.log")
  base=${base%/}
}

# Logs "admin" in on a session of its own; prints "tabrix_session=ID".
login_session() {
  local jar=$work/jar.$1
  curl -sf -o /dev/null -c "$jar" "$base/Login.asp"
  curl -sf -o /dev/null -b "$jar" -c "$jar" -H "Origin: $base" \
    --data-urlencode "username=admin" --data-urlencode "password=$password" "$base/Login.asp"
  awk '$6 == "tabrix_session" { print "tabrix_session=" $7 }' "$jar"
}

# Writes `count` logged-in sessions' cookies, one per line, into `file`.
login_sessions() {
  local count=$1 file=$2
  : >"$file"
  for i in $(seq 1 "$count"); do login_session "$i" >>"$file"; done
}

# The code of the table the menu captions `caption`, read with `cookie`.
table_code() {
  local caption=$1 cookie=$2 code
  code=$(curl -sf -b "$cookie" "$base/" | grep -o "Search.asp?t=[^&\"]*&go=1\"><b>$caption<" |
    head -n 1 | sed 's|Search.asp?t=\([^&]*\)&.*|\1|')
  [[ -n $code ]] || { echo "bench: no link to $caption in the menu" >&2; exit 1; }
  echo "$code"
}

# The server's resident memory now, in MB.
server_rss_mb() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$server_pid/status"; }
