// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The library's recent clean-ups and deletions, newest first, each with a
// Restore button that puts it back whole: entries, files, playlists.
Panel {
    id: panel

    property var history: null
    property bool controlsEnabled: true

    signal restoreRequested(int jobId)
    signal closed

    objectName: "historyPanel"
    title: "History"
    glyph: "refresh"
    cardWidth: 380
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

    Text {
        objectName: "historyEmpty"
        visible: !panel.history || panel.history.count === 0
        text: "Nothing has been cleaned up or deleted yet."
        color: Theme.textSoft
        font.family: Theme.font
        font.pixelSize: Theme.body
        Layout.fillWidth: true
    }

    ListView {
        id: list
        objectName: "historyList"
        visible: panel.history && panel.history.count > 0
        model: panel.history
        clip: true
        spacing: 4
        implicitHeight: Math.min(contentHeight, 260)
        Layout.fillWidth: true
        Layout.preferredHeight: implicitHeight
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        delegate: RowLayout {
            required property int index
            required property int jobId
            required property string kind
            required property string started
            required property string summary
            required property bool restored

            width: list.width - 10
            spacing: 8

            ColumnLayout {
                spacing: 0
                Layout.fillWidth: true
                Text {
                    text: kind.charAt(0).toUpperCase() + kind.slice(1) + " · " + started
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: Theme.text
                    font.family: Theme.font
                    font.pixelSize: Theme.body
                    Layout.fillWidth: true
                }
                Text {
                    text: summary
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: Theme.textSoft
                    font.family: Theme.font
                    font.pixelSize: Theme.small
                    Layout.fillWidth: true
                }
            }
            FaceButton {
                objectName: "historyRestore" + index
                text: "Restore"
                tip: "Put this job back: its tracks, files and playlists"
                enabled: panel.controlsEnabled && !restored
                Layout.preferredWidth: 84
                onClicked: {
                    panel.open = false;
                    panel.restoreRequested(jobId);
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
            objectName: "historyCloseButton"
            text: "Close"
            look: "primary"
            tip: "Back to the library"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: panel.close()
        }
    }
}
