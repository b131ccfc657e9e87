import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The dead tracks found, grouped by folder, each with a tick; the tracks on a
// drive that is not connected start unticked, with the reason under their
// folder. Delete sends the ticked tracks; with every one ticked it is the
// same as deleting all dead tracks.
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
    cardWidth: 420
    initialFocus: review && review.count > 0 ? list : closeButton

    onDismissed: cancel()

    function cancel() {
        open = false;
        cancelled();
    }
    function confirm() {
        if (!review || review.tickedCount === 0)
            return;
        // The plain deletion spares the tracks on a disconnected drive: ticked
        // here, they are named.
        const all = review.allTicked && review.disconnectedCount === 0;
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
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        reuseItems: true
        Layout.fillWidth: true
        Layout.preferredHeight: 240
        ScrollBar.vertical: ScrollBar {
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
        }
        Keys.onSpacePressed: {
            if (currentItem)
                panel.review.setTicked(currentIndex, !currentItem.isTicked);
        }

        section.property: "folder"
        section.delegate: Item {
            required property string section
            width: ListView.view.width - 10
            height: 24
            Text {
                width: parent.width
                anchors.bottom: parent.bottom
                bottomPadding: 2
                text: section === "" ? "Without a location" : section
                textFormat: Text.PlainText
                elide: Text.ElideMiddle
                color: Theme.darkGreen
                font.family: Theme.font
                font.pixelSize: Theme.small
                font.bold: true
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
            width: ListView.view.width - 10
            height: disconnected ? 40 : 26

            FaceCheck {
                objectName: "deadTrackTick" + row.index
                width: parent.width
                text: row.artist === "" ? row.name : row.name + " \u2014 " + row.artist
                checked: row.ticked
                enabled: panel.controlsEnabled
                focusPolicy: Qt.NoFocus
                onToggled: panel.review.setTicked(row.index, checked)
            }
            Rectangle {
                anchors.fill: parent
                visible: row.ListView.isCurrentItem && list.activeFocus
                color: "transparent"
                border.color: Theme.darkGreen
                radius: 3
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
                font.pixelSize: 10
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
