# Sourced by the scripts that build a tool from Debian's source package:
#   debian_upstream_tarball PACKAGE WORK_DIR  ->  prints the path of the upstream tarball
# The source comes through a private APT source list under WORK_DIR, so nothing on the machine
# is changed; only the upstream tarball is needed (Debian's patch tarball may be gone from the
# mirror).
debian_upstream_tarball() {
    local package=$1 work=$2 uri suite
    local sources=/etc/apt/sources.list.d/debian.sources
    if [ -f "$sources" ]; then
        uri=$(awk '/^URIs:/ {print $2; exit}' "$sources")
        suite=$(awk '/^Suites:/ {print $2; exit}' "$sources")
    else
        read -r uri suite < <(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3; exit}' /etc/apt/sources.list)
    fi
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/src"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" >"$work/sources.list"
    local apt=(apt-get -q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Sandbox::User=root)
    "${apt[@]}" update >/dev/null
    (cd "$work/src" && "${apt[@]}" source --download-only "$package" >/dev/null 2>&1) || true
    local tarball
    tarball=$(ls "$work/src/${package}_"*.orig.tar.* 2>/dev/null | head -1)
    [ -n "$tarball" ] || { echo "$package: the source package could not be fetched" >&2; return 1; }
    echo "$tarball"
}
