#!/usr/bin/env bash
# Checks the install tree of a build, staged with DESTDIR under prefix /usr.
#   install_check.sh stage BUILD_DIR STAGE_DIR      installs and checks the layout
#   install_check.sh validate STAGE_DIR             desktop-file-validate and appstreamcli (77 when missing)
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
        share/icons/hicolor/scalable/apps/$APP_ID.svg share/icons/hicolor/256x256/apps/$APP_ID.png; do
        [[ -s $usr/$file ]] || fail "usr/$file is missing"
    done
    grep -qx "Icon=$APP_ID" "$usr/share/applications/$APP_ID.desktop" || fail "the desktop entry names another icon"
    "$usr/bin/zelvo-cli" --version >/dev/null 2>&1 || "$usr/bin/zelvo-cli" --help >/dev/null 2>&1 ||
        fail "the installed zelvo-cli does not run"
    echo "install tree OK: $stage"
    ;;
validate)
    stage=${2:?stage dir}
    for tool in desktop-file-validate appstreamcli; do
        command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    desktop-file-validate "$stage/usr/share/applications/$APP_ID.desktop" || fail "desktop-file-validate"
    appstreamcli validate --no-net "$stage/usr/share/metainfo/$APP_ID.metainfo.xml" || fail "appstreamcli validate"
    ;;
*)
    echo "usage: $0 stage BUILD_DIR STAGE_DIR | validate STAGE_DIR" >&2
    exit 64
    ;;
esac
