// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The dead tracks found, grouped by folder, each with a tick; the tracks on a
// drive that is not connected start unticked, with the reason under their
// folder. A folder's own tick and "Tick all" tick many at once. Delete sends
// the ticked tracks; when they are what deleting all dead tracks deletes
// (every track, none on a disconnected drive), it asks for that instead.
Panel {
    id: panel

    // The program's review model (the context property "deadTrackReview").
    property var review
    property bool controlsEnabled: true

    signal confirmedAll
    signal confirmedSome(string ids)
    signal cancelled

    objectName: "deadTrackReview"
    title: "Dead tracks"
    glyph: "deadtrack"
    cardWidth: Math.max(420, Math.min(width - 20, 820))
    initialFocus: review && review.count > 0 ? list : closeButton
    mainButton: deleteButton

    onDismissed: cancel()

    function cancel() {
        open = false;
        cancelled();
    }
    function confirm() {
        if (!review || review.tickedCount === 0)
            return;
        const all = review.deletesAll;
        const ids = all ? "" : review.tickedIds();
        open = false;
        if (all)
            confirmedAll();
        else
            confirmedSome(ids);
    }

    Text {
        objectName: "deadTrackSummary"
        text: !panel.review || panel.review.count === 0
              ? "No dead tracks: every file of the library is in its place."
              : panel.review.count + (panel.review.count === 1 ? " track has lost its file."
                                                                : " tracks have lost their files.")
                + " Untick any you want to keep in the library."
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.text
        font.family: Theme.font
        font.pixelSize: Theme.body
        Layout.fillWidth: true
    }

    ListView {
        id: list
        objectName: "deadTrackList"
        visible: count > 0
        model: panel.review
        clip: true
        focus: true
        activeFocusOnTab: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        reuseItems: true
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.preferredHeight: contentHeight
        Layout.minimumHeight: Math.min(contentHeight, 120)
        ScrollBar.vertical: ScrollBar {
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
        }
        Keys.onSpacePressed: {
            if (currentItem)
                panel.review.setTicked(currentIndex, !currentItem.isTicked);
        }

        section.property: "folder"
        // The folder, with a tick for all of its tracks; the whole path in a
        // tip when it had to be shortened.
        section.delegate: Item {
            id: folderRow
            required property string section
            // Read again whenever a tick changes.
            readonly property int ticks: panel.review ? (panel.review.tickedCount, panel.review.folderTicks(section)) : 0
            width: ListView.view.width - 10
            height: 28
            FaceCheck {
                objectName: "deadTrackFolderTick" + (folderRow.section === "" ? "" : folderRow.section)
                anchors.bottom: parent.bottom
                width: parent.width
                text: folderRow.section === "" || !panel.review ? "Without a location"
                                                                 : panel.review.shownFolder(folderRow.section)
                tristate: folderRow.ticks === 1
                checkState: folderRow.ticks === 2 ? Qt.Checked : folderRow.ticks === 1 ? Qt.PartiallyChecked
                                                                                    : Qt.Unchecked
                elideMode: Text.ElideMiddle
                font.pixelSize: Theme.small
                font.bold: true
                enabled: panel.controlsEnabled
                focusPolicy: Qt.NoFocus
                onClicked: panel.review.setFolderTicked(folderRow.section, folderRow.ticks !== 2)
            }
        }

        delegate: Item {
            id: row
            required property int index
            required property string name
            required property string artist
            required property bool ticked
            required property bool disconnected
            readonly property bool isTicked: ticked
            width: ListView.view.width - 26
            height: disconnected ? 40 : 26
            x: 16

            FaceCheck {
                objectName: "deadTrackTick" + row.index
                width: parent.width
                text: row.artist === "" ? row.name : row.name + " \u2014 " + row.artist
                checked: row.ticked
                enabled: panel.controlsEnabled
                focusPolicy: Qt.NoFocus
                onToggled: panel.review.setTicked(row.index, checked)
            }
            FocusRing {
                gap: 0
                radius: 3
                shown: row.ListView.isCurrentItem && list.activeFocus
            }
            Text {
                visible: row.disconnected
                anchors.bottom: parent.bottom
                x: 30
                width: parent.width - 30
                text: "On a disconnected drive"
                textFormat: Text.PlainText
                color: Theme.warning
                font.family: Theme.font
                font.pixelSize: Theme.small
            }
        }
    }

    Text {
        objectName: "deadTrackDisconnectedNote"
        visible: panel.review && panel.review.disconnectedCount > 0
        text: panel.review ? panel.review.disconnectedReason : ""
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.textSoft
        font.family: Theme.font
        font.pixelSize: Theme.small
        Layout.fillWidth: true
    }

    RowLayout {
        spacing: 10
        Layout.fillWidth: true

        FaceButton {
            objectName: "deadTrackTickAll"
            visible: panel.review && panel.review.count > 0
            look: "quiet"
            text: panel.review && panel.review.allTicked ? "Untick all" : "Tick all"
            enabled: panel.controlsEnabled
            onClicked: panel.review.setAllTicked(!panel.review.allTicked)
        }
        Text {
            objectName: "deadTrackTotals"
            text: panel.review && panel.review.count > 0 ? panel.review.tickedCount + " of " + panel.review.count
                                                           + " ticked" : ""
            textFormat: Text.PlainText
            color: Theme.textSoft
            font.family: Theme.font
            font.pixelSize: Theme.small
            Layout.fillWidth: true
        }
        FaceButton {
            id: closeButton
            objectName: "deadTrackCancelButton"
            text: panel.review && panel.review.count > 0 ? "Cancel" : "Close"
            look: "secondary"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: panel.cancel()
        }
        FaceButton {
            id: deleteButton
            objectName: "deadTrackDeleteButton"
            visible: panel.review && panel.review.count > 0
            text: "Delete"
            glyph: "delete"
            look: "primary"
            tip: "Remove the ticked tracks from the library; their files are gone already"
            enabled: panel.controlsEnabled && panel.review && panel.review.tickedCount > 0
            onClicked: panel.confirm()
        }
    }
}
