// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The details of one track, given as "Label:value" lines. Each line becomes
// a label and its value; long values such as a file's path wrap at any
// character, so every part of them stays readable, and the list scrolls when
// it is taller than the card. Units are shown as everywhere else in the face
// (kbit/s, kHz, and sizes as the desktop writes them, from the program's
// trackDetails object).
Panel {
    id: panel

    property string info
    property bool controlsEnabled: true
    // One entry per line: { label, value }. A line without a colon is shown
    // whole as its value.
    readonly property var lines: {
        const result = [];
        for (const line of info.split("\n")) {
            if (line === "")
                continue;
            const colon = line.indexOf(":");
            if (colon > 0) {
                const label = line.substring(0, colon);
                result.push({ label: label, value: shownValue(label, line.substring(colon + 1)) });
            }
            else
                result.push({ label: "", value: line });
        }
        return result;
    }

    signal closed

    readonly property string sizeText: typeof trackDetails !== "undefined" && trackDetails ? trackDetails.sizeText : ""
    function shownValue(label, value) {
        if (label === "Size" && sizeText !== "")
            return sizeText;
        return value.replace(/ Kb\/s$/, " kbit/s").replace(/ KHz$/, " kHz");
    }

    objectName: "trackPanel"
    title: "Track information"
    glyph: "view"
    cardWidth: 400
    initialFocus: closeButton
    mainButton: closeButton

    onDismissed: {
        if (closeButton.enabled)
            close();
    }
    function close() {
        open = false;
        closed();
    }

    Flickable {
        id: scroller
        objectName: "trackInfoList"
        clip: true
        contentWidth: width
        contentHeight: rows.implicitHeight
        boundsBehavior: Flickable.StopAtBounds
        implicitHeight: Math.min(rows.implicitHeight, 330)
        Layout.fillWidth: true
        Layout.preferredHeight: implicitHeight
        Layout.fillHeight: true
        activeFocusOnTab: contentHeight > height
        Keys.onUpPressed: bar.decrease()
        Keys.onDownPressed: bar.increase()

        FocusRing {
            gap: 0
            radius: 3
            shown: scroller.activeFocus
        }

        ScrollBar.vertical: ScrollBar {
            id: bar
            policy: scroller.contentHeight > scroller.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        Column {
            id: rows
            width: scroller.width - 12
            spacing: 5

            Repeater {
                model: panel.lines
                delegate: Row {
                    required property var modelData
                    required property int index
                    width: rows.width
                    spacing: 10

                    Text {
                        width: 92
                        text: modelData.label
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignRight
                        color: Theme.textSoft
                        font.family: Theme.font
                        font.pixelSize: Theme.small
                        font.bold: true
                        topPadding: 1
                        wrapMode: Text.WordWrap
                    }
                    Text {
                        objectName: "trackValue" + index
                        width: parent.width - 102
                        text: modelData.value
                        textFormat: Text.PlainText
                        color: Theme.text
                        font.family: Theme.font
                        font.pixelSize: Theme.body
                        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                    }
                }
            }
        }
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        Item {
            Layout.fillWidth: true
        }
        FaceButton {
            id: closeButton
            objectName: "trackCloseButton"
            text: "Close"
            look: "primary"
            tip: "Back to the library"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: panel.close()
        }
    }
}
