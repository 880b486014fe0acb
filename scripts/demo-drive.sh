# Prepares a demo drive c beside the program when none is mapped: the zip program where the
# program looks for it, and a small folder to back up.
# shellcheck shell=bash

zel_prepare_demo_drive() {
    local drives="$1"
    local c="$drives/c"
    if [ -e "$c" ]; then
        echo "Drive c is mapped to $(readlink -f "$c")"
        return 0
    fi
    mkdir -p "$c/brevund/tarvel/bat" "$c/brevund/belgeler" "$c/progress/openedge/bin"
    cp "$(command -v zip)" "$c/brevund/tarvel/bat/zip.ex_"
    printf 'ZEL Yedek demo dosyasi\r\n' > "$c/brevund/belgeler/ornek.txt"
    # Stands in for the database's shutdown utility: notes each call.
    cat > "$c/progress/openedge/bin/proshut.bat" <<'SH'
#!/bin/sh
echo "$(date '+%F %T') proshut $*" >> "$(dirname "$0")/proshut.log"
SH
    chmod +x "$c/progress/openedge/bin/proshut.bat"
    echo "Prepared a demo drive c in $c"
}
