#!/usr/bin/env bash
# internet_tls_test.sh EMULATOR TEST-PROGRAM: the HTTP client's TLS case under
# Wine against https_server.py with a fresh self-signed certificate. The
# client must refuse the server: no request may reach it.
set -euo pipefail
emulator=$1
program=$2
here=$(cd "$(dirname "$0")" && pwd)
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1,DNS:localhost \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
: >"$work/requests"
python3 "$here/https_server.py" "$work/cert.pem" "$work/key.pem" "$work/port" "$work/requests" &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "FAIL: the TLS server did not start" >&2; exit 1; }

status=0
VELDAN_TLS_ADDRESS="https://127.0.0.1:$(cat "$work/port")/veldan/newversion" \
  "$emulator" "$program" --gtest_filter='InternetTls.*' || status=$?
if [ -s "$work/requests" ]; then
  echo "FAIL: requests reached the untrusted server:" >&2
  cat "$work/requests" >&2
  status=1
fi
exit "$status"
