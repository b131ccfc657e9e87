// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts

// Who we are: the mark, the name, the version and the description the
// program hands over.
Panel {
    id: panel

    property string version
    property string description
    property bool controlsEnabled: true

    signal closed

    objectName: "aboutPanel"
    title: "About Tidyfox"
    glyph: "about"
    cardWidth: 350
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

    RowLayout {
        spacing: 16
        Layout.fillWidth: true

        FoxMark {
            Layout.preferredWidth: 72
            Layout.preferredHeight: 72
            Layout.alignment: Qt.AlignTop
        }
        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true

            Text {
                text: "Tidyfox"
                color: Theme.text
                font.family: Theme.font
                font.pixelSize: 24
                font.bold: true
            }
            Text {
                objectName: "aboutVersion"
                visible: panel.version !== ""
                text: "Version " + panel.version
                textFormat: Text.PlainText
                color: Theme.textSoft
                font.family: Theme.font
                font.pixelSize: Theme.body
            }
            Text {
                text: "Clean up your iTunes library"
                color: Theme.darkGreen
                font.family: Theme.font
                font.pixelSize: Theme.small
                font.italic: true
                Layout.topMargin: 4
            }
        }
    }

    Text {
        objectName: "aboutDescription"
        text: panel.description
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.text
        font.family: Theme.font
        font.pixelSize: Theme.body
        lineHeight: 1.15
        Layout.fillWidth: true
        Layout.topMargin: 4
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        Item {
            Layout.fillWidth: true
        }
        FaceButton {
            id: closeButton
            objectName: "aboutCloseButton"
            text: "Close"
            look: "primary"
            tip: "Back to the library"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: panel.close()
        }
    }
}
