#!/usr/bin/env bash
# The install tree of a build, staged with DESTDIR under prefix /usr.
#   install_check.sh stage BUILD_DIR STAGE_DIR   installs it and checks its layout
#   install_check.sh validate STAGE_DIR          its files through the desktop's own tools (77: one is missing)
set -uo pipefail
fail() {
    echo "FAIL: $*"
    exit 1
}
readonly APP_ID=example.quorvex.Zelvo

if [[ ${1:-} == stage ]]; then
    rm -rf "$3"
    DESTDIR="$3" cmake --install "$2" --prefix /usr >/dev/null || fail "cmake --install"
    cd "$3/usr" || fail "nothing installed under $3/usr"
    # bin/zelvo is a relative link into the program's own folder, where Lang/ lies beside it.
    [[ $(readlink bin/zelvo) == ../lib/zelvo/zelvo && -x lib/zelvo/zelvo ]] || fail "bin/zelvo: $(ls -l bin/zelvo)"
    for file in lib/zelvo/Lang/{ENG,CHS,CHT,JAP}.lang share/applications/$APP_ID.desktop \
        share/metainfo/$APP_ID.metainfo.xml share/icons/hicolor/{scalable/apps/$APP_ID.svg,256x256/apps/$APP_ID.png} \
        share/mime/packages/$APP_ID.xml share/man/man1/zelvo-cli.1 share/bash-completion/completions/zelvo-cli; do
        [[ -s $file ]] || fail "usr/$file is missing"
    done
    grep -qx "Icon=$APP_ID" "share/applications/$APP_ID.desktop" &&
        grep -qx "Exec=zelvo %F" "share/applications/$APP_ID.desktop" || fail "the desktop entry's Icon or Exec"
    # The manual page is help2man's rendering of this very build's --help, and the program runs.
    grep -q 'no\\-checksum' share/man/man1/zelvo-cli.1 || fail "zelvo-cli.1 is not the program's help"
    bin/zelvo-cli --version >/dev/null || fail "the installed zelvo-cli does not run"
    exit 0
fi

share=$2/usr/share
type -P desktop-file-validate update-desktop-database appstreamcli xmllint update-mime-database man >/dev/null &&
    [[ -r /usr/share/bash-completion/bash_completion ]] || { echo "SKIP: no validators or bash-completion"; exit 77; }
desktop-file-validate "$share/applications/$APP_ID.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$APP_ID.metainfo.xml" || fail "appstreamcli validate"
xmllint --noout "$share/mime/packages/$APP_ID.xml" || fail "xmllint: the MIME package"
[[ -z $(MANWIDTH=80 man --warnings -l "$share/man/man1/zelvo-cli.1" 2>&1 >/dev/null) ]] || fail "man --warnings"

# What the distribution's triggers make of the tree: a case-sensitive *.DAV glob for the header
# chip's type, and the desktop entry as its handler.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -r "$share/mime" "$share/applications" "$scratch/"
[[ -z $(XDG_DATA_DIRS=$scratch update-mime-database "$scratch/mime" 2>&1) ]] || fail "update-mime-database complained"
grep -q ':application/x-zelvo-header-chip:\*\.DAV:cs$' "$scratch/mime/globs2" || fail "no *.DAV glob"
update-desktop-database "$scratch/applications" || fail "update-desktop-database"
grep -qx "application/x-zelvo-header-chip=$APP_ID.desktop;" "$scratch/applications/mimeinfo.cache" ||
    fail "the desktop entry is not the header chip's handler"

# bash-completion's loader finds the completion by the command's name alone in the installed folder.
found=$(XDG_DATA_DIRS=$share bash --norc -c '. /usr/share/bash-completion/bash_completion
    __load_completion zelvo-cli && complete -p zelvo-cli')
[[ $found == "complete -F _zelvo_cli zelvo-cli" ]] || fail "bash-completion did not load it: $found"
