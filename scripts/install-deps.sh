#!/usr/bin/env bash
# Installs the Debian packages a command needs. Quick and silent when
# everything is already there.
#   install-deps.sh run     building and running Tervane (make run)
#   install-deps.sh test    the above, the test libraries and the servers the
#                           tests start on loopback (make test)
#   install-deps.sh --list run|test   prints the set, one package a line
set -eu

run_pkgs=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xdg-utils
)
test_pkgs=(
  "${run_pkgs[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  nginx-light lighttpd tinyproxy gophernicus socat
  python3 python3-aiosmtpd python3-pyftpdlib vsftpd
  apache2-utils strace
)

list=0
if [ "${1:-}" = "--list" ]; then list=1; shift; fi
case "${1:-test}" in
  run) pkgs=("${run_pkgs[@]}") ;;
  test) pkgs=("${test_pkgs[@]}") ;;
  *) echo "usage: $0 [--list] run|test" >&2; exit 2 ;;
esac
if [ "$list" -eq 1 ]; then printf '%s\n' "${pkgs[@]}"; exit 0; fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The packaged servers would start system-wide instances that outlive the run;
# the tests start their own. Debian asks policy-rc.d before starting any.
policy=${TERVANE_POLICY_RC_D:-/usr/sbin/policy-rc.d}
if [ ! -e "$policy" ]; then
  as_root sh -c 'printf "#!/bin/sh\nexit 101\n" > "$1" && chmod 755 "$1"' sh "$policy"
  trap 'as_root rm -f "$policy"' EXIT
fi
as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
