# Helpers shared by the CI scripts.

# Each heading shows the seconds since the script started, so a slow step stands out.
section() { printf '\n==== %s (at %ss) ====\n' "$*" "$SECONDS"; }

# Installs the named Debian packages that are not installed yet (non-interactive).
need_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        section "Installing ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q >/dev/null
        apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
    fi
}
