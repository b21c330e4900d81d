#!/usr/bin/env bash
# Checks the install tree of a build, staged with DESTDIR under prefix /usr.
#   install_check.sh stage BUILD_DIR STAGE_DIR      installs and checks the layout
#   install_check.sh validate STAGE_DIR             the desktop files through the desktop's own tools
#                                                   (77 when one is missing)
set -uo pipefail

fail() { echo "FAIL: $*"; exit 1; }
readonly APP_ID=example.quorvex.Zelvo

case ${1:-} in
stage)
    build=${2:?build dir} stage=${3:?stage dir}
    rm -rf "$stage"
    DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install failed"
    usr="$stage/usr"
    # The command in bin is a relative link into the program's own folder, where Lang/ lies beside
    # the real executable: the program finds its language files through the resolved path.
    [[ -L $usr/bin/zelvo ]] || fail "usr/bin/zelvo is not a symbolic link"
    [[ $(readlink "$usr/bin/zelvo") == ../lib/zelvo/zelvo ]] || fail "usr/bin/zelvo points to $(readlink "$usr/bin/zelvo")"
    real=$(readlink -f "$usr/bin/zelvo")
    [[ $real == "$(readlink -f "$usr/lib/zelvo/zelvo")" && -x $real ]] || fail "the link does not reach lib/zelvo/zelvo"
    for lang in ENG CHS CHT JAP; do
        [[ -s $(dirname "$real")/Lang/$lang.lang ]] || fail "Lang/$lang.lang is not beside the executable"
    done
    [[ -x $usr/bin/zelvo-cli && ! -L $usr/bin/zelvo-cli ]] || fail "usr/bin/zelvo-cli is missing"
    for file in share/applications/$APP_ID.desktop share/metainfo/$APP_ID.metainfo.xml \
        share/icons/hicolor/scalable/apps/$APP_ID.svg share/icons/hicolor/256x256/apps/$APP_ID.png \
        share/mime/packages/$APP_ID.xml share/man/man1/zelvo-cli.1 share/bash-completion/completions/zelvo-cli; do
        [[ -s $usr/$file ]] || fail "usr/$file is missing"
    done
    desktop=$usr/share/applications/$APP_ID.desktop
    grep -qx "Icon=$APP_ID" "$desktop" || fail "the desktop entry names another icon"
    grep -qx "Exec=zelvo %F" "$desktop" || fail "the desktop entry does not hand files to zelvo"
    # The manual page is help2man's rendering of this very build's --help.
    man=$usr/share/man/man1/zelvo-cli.1
    grep -q '^\.TH ZELVO-CLI "1"' "$man" && grep -q 'no\\-checksum' "$man" || fail "zelvo-cli.1 is not the program's help"
    "$usr/bin/zelvo-cli" --version >/dev/null 2>&1 || "$usr/bin/zelvo-cli" --help >/dev/null 2>&1 ||
        fail "the installed zelvo-cli does not run"
    echo "install tree OK: $stage"
    ;;
validate)
    stage=${2:?stage dir}
    share=$stage/usr/share
    for tool in desktop-file-validate update-desktop-database appstreamcli xmllint update-mime-database man; do
        command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    [[ -r /usr/share/bash-completion/bash_completion ]] || { echo "SKIP: bash-completion is not installed"; exit 77; }
    desktop-file-validate "$share/applications/$APP_ID.desktop" || fail "desktop-file-validate"
    appstreamcli validate --no-net "$share/metainfo/$APP_ID.metainfo.xml" || fail "appstreamcli validate"
    xmllint --noout "$share/mime/packages/$APP_ID.xml" || fail "xmllint: the MIME package"

    # What the distribution's triggers make of the tree: the type's glob, and zelvo as its handler.
    scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
    cp -r "$share/mime" "$share/applications" "$scratch/"
    XDG_DATA_DIRS=$scratch update-mime-database "$scratch/mime" 2>&1 | grep . && fail "update-mime-database complained"
    grep -qx 'application/x-zelvo-header-chip:\*\.DAV:cs' <(cut -d: -f2- "$scratch/mime/globs2") ||
        fail "no case-sensitive *.DAV glob for the header chip type"
    update-desktop-database "$scratch/applications" || fail "update-desktop-database"
    grep -qx "application/x-zelvo-header-chip=$APP_ID.desktop;" "$scratch/applications/mimeinfo.cache" ||
        fail "the desktop entry is not the header chip's handler"

    # The manual page sets without a warning.
    warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/zelvo-cli.1" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man: $warnings"

    # bash-completion finds the completion by the command's name alone, from the installed folder.
    found=$(XDG_DATA_DIRS=$share bash --norc -c '. /usr/share/bash-completion/bash_completion
        __load_completion zelvo-cli && complete -p zelvo-cli')
    [[ $found == "complete -F _zelvo_cli zelvo-cli" ]] || fail "bash-completion did not load it: $found"
    echo "desktop files OK: $stage"
    ;;
*)
    echo "usage: $0 stage BUILD_DIR STAGE_DIR | validate STAGE_DIR" >&2
    exit 64
    ;;
esac
