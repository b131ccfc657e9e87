// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts

// The duplicate filter: which properties make two tracks copies of each
// other, and whether the removed copies keep their files. The choice is
// handed over as eight "true"/"false" items joined by commas, in the order
// of `items` followed by the keep-files switch, and, when either of the two
// ways beyond the properties is ticked, a ninth item naming them ("sound",
// "loose", or both with a space); the program judges it.
Panel {
    id: panel

    property bool controlsEnabled: true
    // Positions 0 to 6 of the filter text.
    readonly property var items: [
        { key: "filterName", label: "Track name", tip: "Same title, letter case included" },
        { key: "filterSize", label: "File size", tip: "Same size in bytes" },
        { key: "filterAlbum", label: "Album", tip: "Same album title, letter case included" },
        { key: "filterArtist", label: "Artist", tip: "Same artist, letter case included" },
        { key: "filterBitRate", label: "Bit rate", tip: "Same bit rate" },
        { key: "filterSampleRate", label: "Sample rate", tip: "Same sample rate" },
        { key: "filterFileName", label: "File name", tip: "Same file name, whatever the folder and letter case" }
    ]
    // A sensible first choice: same title by the same artist on the same album.
    readonly property var defaults: [true, false, true, true, false, false, false]

    // The ticks as they were when the panel opened, so that Cancel can put
    // them back.
    property var saved: []

    signal accepted(string filter)
    signal cancelled

    title: "Remove duplicates"
    glyph: "duplicates"
    cardWidth: 384
    initialFocus: checks.count > 0 ? checks.itemAt(0) : null
    mainButton: okButton

    onOpenChanged: {
        if (open)
            saved = state();
    }
    onDismissed: cancel()

    function state() {
        const ticks = [];
        for (let i = 0; i < items.length; ++i)
            ticks.push(checks.itemAt(i).checked);
        ticks.push(keepFiles.checked);
        ticks.push(soundAlike.checked);
        ticks.push(looseNames.checked);
        return ticks;
    }
    function filterText() {
        const text = state().slice(0, items.length + 1).map(t => t ? "true" : "false").join(",");
        const ways = [];
        if (soundAlike.checked)
            ways.push("sound");
        if (looseNames.checked)
            ways.push("loose");
        return ways.length > 0 ? text + "," + ways.join(" ") : text;
    }
    function accept() {
        const filter = filterText();
        open = false;
        accepted(filter);
    }
    function cancel() {
        for (let i = 0; i < items.length; ++i)
            checks.itemAt(i).checked = saved[i];
        keepFiles.checked = saved[items.length];
        soundAlike.checked = saved[items.length + 1];
        looseNames.checked = saved[items.length + 2];
        open = false;
        cancelled();
    }

    Text {
        text: "Tracks that are equal on every property you tick are copies of each other. "
              + "You see them, and choose which copy stays, before anything is removed."
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.text
        font.family: Theme.font
        font.pixelSize: Theme.body
        lineHeight: 1.1
        Layout.fillWidth: true
    }

    GridLayout {
        columns: 2
        columnSpacing: 12
        rowSpacing: 0
        Layout.fillWidth: true

        Repeater {
            id: checks
            model: panel.items
            delegate: FaceCheck {
                required property var modelData
                required property int index
                objectName: modelData.key
                text: modelData.label
                tip: modelData.tip
                checked: panel.defaults[index]
                enabled: panel.controlsEnabled
                Layout.fillWidth: true
            }
        }
    }

    GridLayout {
        columns: 2
        columnSpacing: 12
        rowSpacing: 0
        Layout.fillWidth: true

        FaceCheck {
            id: soundAlike
            objectName: "filterSoundAlike"
            text: "Sounds the same"
            tip: "The recordings sound alike, whatever their encoding; each file is listened to once"
            checked: false
            enabled: panel.controlsEnabled
            Layout.fillWidth: true
        }
        FaceCheck {
            id: looseNames
            objectName: "filterLooseNames"
            text: "Loosely equal names"
            tip: "Names, artists and albums alike apart from case, accents, punctuation and remaster notes"
            checked: false
            enabled: panel.controlsEnabled
            Layout.fillWidth: true
        }
    }

    Rectangle {
        color: Theme.cardBorder
        implicitHeight: 1
        Layout.fillWidth: true
    }

    FaceSwitch {
        id: keepFiles
        objectName: "filterKeepFiles"
        text: "Keep the files of removed copies"
        checked: false
        enabled: panel.controlsEnabled
        Layout.fillWidth: true
    }
    Text {
        text: keepFiles.checked
              ? "On: only the library entries go; the files stay where they are."
              : "Off: the files of the removed copies are moved to the trash, where you can restore them."
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.textSoft
        font.family: Theme.font
        font.pixelSize: Theme.small
        Layout.fillWidth: true
        Layout.leftMargin: 52
        Layout.topMargin: -6
    }

    RowLayout {
        spacing: 10
        Layout.fillWidth: true
        Layout.topMargin: 6

        Item {
            Layout.fillWidth: true
        }
        FaceButton {
            objectName: "filterCancelButton"
            text: "Cancel"
            look: "secondary"
            tip: "Close without removing anything"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: panel.cancel()
        }
        FaceButton {
            id: okButton
            objectName: "filterOkButton"
            text: "Find duplicates"
            glyph: "check"
            look: "primary"
            tip: "Find the copies with the ticked properties and show them before anything is removed"
            enabled: panel.controlsEnabled
            onClicked: panel.accept()
        }
    }
}
