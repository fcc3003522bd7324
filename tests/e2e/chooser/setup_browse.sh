#!/usr/bin/env bash
# The setup's browse button, enabled from outside, opens the folder chooser; what is chosen
# there reaches the install-path edit, and leaving it any other way changes nothing. A selection
# made from another process (accessibility and automation tools) counts like a click.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
cp "$CORVANE_BINARY_DIR/e2e/chooser_driver.exe" "$DRIVE_C/e2e/"
cdrv() { wine 'C:\e2e\chooser_driver.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
within2() { [ "${1#-}" -le 2 ]; }
# Waits for the focus to settle on the tree (window activation under X arrives asynchronously).
settle_focus() { for _ in $(seq 20); do [ "$(line 4)" = tree ] && break; sleep 0.2; STATE=$(cdrv state); done; }
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
line() { sed -n "${1}p" <<<"$STATE"; } # 1 caption, 2 path display, 3 free space, 4 focus,
                                        # 5 selection, 6 expanded chain, 7 drive labels
SHOT=${CHOOSER_SHOT:-$CORVANE_BINARY_DIR/e2e/chooser.png}

UNI=$'\xc3\x9cber \xd0\x94\xd0\xb0\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb5'
BASE='C:\ChooserTest'
cdrv mkdir "$BASE"
cdrv mkdir "$BASE\\Data"
cdrv mkdir "$BASE\\Data\\Projects"
cdrv mkdir "hex:$(hex "$BASE\\$UNI")"

# A CD-ROM drive E: without a disc. Wine reads its drive table when the prefix starts.
wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
ln -s "/nonexistent-disc-$$" "$PREFIX/dosdevices/e:"
printf '\n[Software\\\\Wine\\\\Drives] 1765000000\n"e:"="cdrom"\n' >>"$PREFIX/system.reg"

start_setup
drv wait "$TITLE" 30000
check "the install-path edit shows the default folder" eq "$(cdrv edit)" "$INSTALL"

# Start folder whose last components do not exist yet: what the chooser shows of it, and the
# focus coming back to the tree, are checked in chooser_dialog_test.cpp.
check "the browse button opens the chooser" cdrv browse
STATE=$(cdrv state)
check "caption" eq "$(line 1)" "Setup Folder"
check "existing ancestors are read and expanded" eq "$(line 6)" "$(cut -d'|' -f1 <<<"$(line 7)" | grep '(C:)' || true)|Program Files (x86)"
read -r DX DY <<<"$(cdrv place)"
check "the chooser is centred across (off by ${DX}px)" within2 "$DX"
check "the chooser is centred down (off by ${DY}px)" within2 "$DY"
check "OK leaves the chooser" cdrv ok
check "OK with nothing chosen keeps the install path" eq "$(cdrv edit)" "$INSTALL"

# Keys alone from the same start folder. Tab goes round into the tree, which still has nothing
# selected; the first key gives it the first drive, and Down goes on from there. Home reaches the
# drive, a letter a folder below it, and Enter (the default button) chooses that folder.
cdrv mkdir 'C:\Keyed'
cdrv browse
STATE=$(cdrv state)
settle_focus
check "tab goes round the controls" cdrv keys tab tab tab tab
STATE=$(cdrv state)
check "tab comes round to the tree, nothing selected" eq "$(line 4)|$(line 5)|$(line 2)" "tree|(none)|"
FIRST=$(cdrv children 'C:' | head -n 1)
check "Down" cdrv keys down
STATE=$(cdrv state)
check "Down from nothing goes below the first drive" eq "$(line 5)|$(line 2)" "$FIRST|C:\\$FIRST\\"
check "Home" cdrv keys home
STATE=$(cdrv state)
check "Home reaches the drive" eq "$(line 2)" 'C:\'
cdrv keys k
STATE=$(cdrv state)
check "the letter reaches the folder" eq "$(line 5)|$(line 2)" 'Keyed|C:\Keyed\'
check "Enter" cdrv keys enter
edit_becomes() { for _ in $(seq 25); do [ "$(cdrv edit)" = "$1" ] && return 0; sleep 0.2; done; eq "$(cdrv edit)" "$1"; }
check "Enter returns the folder reached with keys" edit_becomes 'C:\Keyed'
# Gone again, the folder leaves the next start folder out of the tree as well.
rm -r "$DRIVE_C/Keyed"

# A folder selected by a TVM_SELECTITEM from another process is chosen.
cdrv browse
STATE=$(cdrv state)
check "nothing is shown before" eq "$(line 2)|$(line 3)" "|"
check "selecting from outside shows the path" eq "$(cdrv select "$BASE\\Data")" "$BASE\\Data\\"
STATE=$(cdrv state)
check "the selection from outside stays" eq "$(line 5)" "Data"
check "it shows the free space" grep -qE '^[0-9]+(KB|MB) free$' <<<"$(line 3)"
cdrv ok
check "OK returns the folder selected from outside" eq "$(cdrv edit)" "$BASE\\Data"

# Choosing the drive.
cdrv browse
check "choosing drive C shows C:\\" eq "$(cdrv choose 'C:')" 'C:\'
cdrv ok
check "choosing a drive puts C: into the edit" eq "$(cdrv edit)" 'C:'

# The start folder exists (what the chooser shows of it: chooser_dialog_test.cpp).
cdrv browse
STATE=$(cdrv state)
check "the start folder is shown" eq "$(line 2)" 'C:\'
cdrv choose "$BASE\\Data\\Projects" >/dev/null
# A picture of the chooser as a person sees it, over the setup dialog.
if r=$(drv rect "Setup Folder"); then
  set -- $r
  import -display "$DISPLAY" -window root -crop "$(($1 + 40))x$(($2 + 40))+$(($3 - 20))+$(($4 - 20))" \
    +repage "PNG:$SHOT" 2>/dev/null
fi
# Esc, like Cancel and the close box (chooser_dialog_test.cpp), changes nothing.
check "esc leaves the chooser" cdrv esc
check "esc changes nothing" eq "$(cdrv edit)" 'C:'

# A non-ASCII folder name reaches the edit intact.
cdrv browse
check "choosing the non-ASCII folder shows it" eq "$(cdrv choose "hex:$(hex "$BASE\\$UNI")")" "$BASE\\$UNI\\"
cdrv ok
check "the non-ASCII path reaches the edit" eq "$(cdrv edit)" "$BASE\\$UNI"

# Collapsing the parent of the selected node moves the selection there; the chooser follows.
cdrv browse
cdrv choose "$BASE\\Data\\Projects" >/dev/null
check "collapsing the parent shows the parent" eq "$(cdrv collapse "$BASE\\Data")" "$BASE\\Data\\"
STATE=$(cdrv state)
check "the parent is the selection" eq "$(line 5)" "Data"
cdrv ok
check "OK after the collapse returns the parent" eq "$(cdrv edit)" "$BASE\\Data"

# Reading a drive without a medium names the drive in the error message.
cdrv browse
STATE=$(cdrv state)
# Windows fails the volume query without a disc ("E:"); Wine answers with an empty name (" (E:)").
check "the CD-ROM drive without a disc is listed" grep -qxE 'E:| \(E:\)' <<<"$(tr '|' '\n' <<<"$(line 7)")"
cdrv expand 'E:'
check "expanding it shows the drive error" read_box
check "the error names the drive" eq "$BOX_TEXT" 'Error Drive: E:\r\nCorrect and try again'
check "the error box has the application title" eq "$BOX_CAPTION" "CorvaneSetup"
answer_box 1
no_children() { local out; out=$(cdrv children "$1") && eq "$out" ""; }
check "the drive then has no children" no_children 'E:'
cdrv cancel

drv press "$TITLE" 2
check "the setup ends" wait_setup_exit 30
finish
