// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The duplicates found, before anything goes: each group of equal tracks with
// the one that stays marked and a tick on every copy that goes (take it off to
// spare the copy), the rule of which copy stays, whether play history is
// carried over and whether the copies' files are kept, and the totals. The
// program's review model says what confirming sends.
Panel {
    id: panel

    // The program's review model (the context property "duplicateReview").
    property var review
    property bool controlsEnabled: true

    signal confirmed(string command, string args)
    signal cancelled

    objectName: "duplicateReview"
    title: !review || review.count === 0 ? "Review duplicates"
                                         : review.groupCount + (review.groupCount === 1 ? " group" : " groups")
                                           + " of equal tracks"
    glyph: "duplicates"
    cardWidth: Math.max(430, Math.min(width - 20, 820))
    initialFocus: review && review.count > 0 ? list : cancelButton
    mainButton: removeButton
    bodySpacing: 6

    onDismissed: cancel()

    function cancel() {
        open = false;
        cancelled();
    }
    function confirm() {
        if (!review || review.copies === 0)
            return;
        const command = review.confirmCommand();
        const args = review.confirmArgs();
        open = false;
        confirmed(command, args);
    }

    Text {
        objectName: "duplicateSummary"
        text: !panel.review || panel.review.count === 0
              ? "No duplicates: no two tracks are equal on the properties you ticked."
              : "The marked track stays; untick a copy to keep it too."
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.text
        font.family: Theme.font
        font.pixelSize: panel.review && panel.review.count > 0 ? Theme.small + 1 : Theme.body
        Layout.fillWidth: true
    }

    ListView {
        id: list
        objectName: "duplicateList"
        visible: count > 0
        model: panel.review
        clip: true
        focus: true
        activeFocusOnTab: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        reuseItems: true
        cacheBuffer: 400
        // Most of the card: what remains after the controls below.
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.preferredHeight: contentHeight
        Layout.minimumHeight: Math.min(contentHeight, 120)
        ScrollBar.vertical: ScrollBar {
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
        }
        Keys.onSpacePressed: {
            if (currentItem && !currentItem.isKeeper)
                panel.review.setSpared(currentIndex, !currentItem.isSpared);
        }

        section.property: "group"
        section.delegate: Rectangle {
            required property string section
            width: ListView.view.width - 10
            height: 6
            color: "transparent"
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: Theme.cardBorder
            }
        }

        delegate: Item {
            id: row
            required property int index
            required property string name
            required property string artist
            required property string album
            required property string time
            required property int bitRate
            required property string size
            required property int playCount
            required property string dateAdded
            required property string folder
            required property bool fileThere
            required property bool stays
            required property bool goes
            required property bool spared
            readonly property bool isKeeper: stays
            readonly property bool isSpared: spared
            width: ListView.view.width - 10
            height: lines.implicitHeight + 6

            FaceCheck {
                objectName: "duplicateTick" + row.index
                visible: !row.stays
                x: 0
                width: 28
                checked: row.goes
                enabled: panel.controlsEnabled
                focusPolicy: Qt.NoFocus
                onToggled: panel.review.setSpared(row.index, !checked)
            }
            Rectangle {
                objectName: "duplicateKeeper" + row.index
                visible: row.stays
                x: 6
                y: 8
                width: 16
                height: 16
                radius: 8
                color: Theme.darkGreen
                FaceIcon {
                    anchors.fill: parent
                    anchors.margins: 2
                    name: "check"
                    color: Theme.offWhite
                }
            }
            // Nothing here is cut: the lines wrap, and only the folder is
            // shortened, from the middle, with the whole of it in a tip.
            Column {
                id: lines
                x: 32
                width: parent.width - 32
                y: 3
                spacing: 1
                Text {
                    width: parent.width
                    text: (row.stays ? "Stays: " : row.goes ? "" : "Kept: ") + row.name
                          + (row.artist === "" ? "" : " \u2014 " + row.artist)
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: row.goes ? Theme.text : Theme.darkGreen
                    font.family: Theme.font
                    font.pixelSize: Theme.small + 1
                    font.bold: row.stays
                }
                Text {
                    id: folderLine
                    objectName: "duplicateFolder" + row.index
                    width: parent.width
                    text: row.folder === "" ? "No file" : row.folder
                    textFormat: Text.PlainText
                    elide: Text.ElideMiddle
                    color: Theme.text
                    font.family: Theme.font
                    font.pixelSize: Theme.small
                    HoverHandler {
                        id: folderHover
                    }
                    ToolTip.visible: folderHover.hovered && folderLine.truncated
                    ToolTip.text: row.folder
                    ToolTip.delay: 500
                }
                Text {
                    width: parent.width
                    text: [row.album, row.time, row.bitRate > 0 ? row.bitRate + " kbit/s" : "", row.size,
                           row.playCount + (row.playCount === 1 ? " play" : " plays"),
                           row.dateAdded === "" ? "" : "added " + row.dateAdded,
                           row.fileThere ? "" : "file missing"].filter(t => t !== "").join(" \u00b7 ")
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: row.fileThere ? Theme.textSoft : Theme.warning
                    font.family: Theme.font
                    font.pixelSize: Theme.small
                }
            }
            FocusRing {
                gap: 0
                radius: 3
                shown: row.ListView.isCurrentItem && list.activeFocus
            }
        }
    }

    RowLayout {
        visible: panel.review && panel.review.count > 0
        spacing: 8
        Layout.fillWidth: true
        Text {
            text: "Which copy stays"
            textFormat: Text.PlainText
            color: Theme.text
            font.family: Theme.font
            font.pixelSize: Theme.small + 1
        }
        FaceCombo {
            id: ruleBox
            objectName: "duplicateRule"
            model: panel.review ? panel.review.ruleLabels : []
            currentIndex: panel.review ? Math.max(0, panel.review.rules.indexOf(panel.review.rule)) : 0
            enabled: panel.controlsEnabled
            Layout.fillWidth: true
            onActivated: index => panel.review.rule = panel.review.rules[index]
        }
    }
    Text {
        objectName: "duplicateRuleHint"
        visible: panel.review && panel.review.count > 0
        text: panel.review ? panel.review.ruleHint : ""
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.textSoft
        font.family: Theme.font
        font.pixelSize: Theme.small
        Layout.fillWidth: true
    }
    RowLayout {
        visible: panel.review && panel.review.count > 0
        spacing: 8
        Layout.fillWidth: true
        FaceSwitch {
            objectName: "duplicateMerge"
            text: "Carry play history over"
            font.pixelSize: Theme.small
            checked: panel.review ? panel.review.mergeHistory : true
            enabled: panel.controlsEnabled
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            onToggled: panel.review.mergeHistory = checked
        }
        FaceSwitch {
            objectName: "duplicateKeepFiles"
            text: "Keep the copies' files"
            font.pixelSize: Theme.small
            checked: panel.review ? panel.review.keepFiles : false
            enabled: panel.controlsEnabled
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            onToggled: panel.review.keepFiles = checked
        }
    }
    Text {
        objectName: "duplicateRescanNote"
        visible: text !== ""
        text: panel.review && panel.review.count > 0 ? panel.review.rescanNote : ""
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
            objectName: "duplicateTotals"
            text: panel.review && panel.review.count > 0 ? panel.review.totalsText : ""
            textFormat: Text.PlainText
            wrapMode: Text.WordWrap
            color: Theme.textSoft
            font.family: Theme.font
            font.pixelSize: Theme.small
            Layout.fillWidth: true
        }
        FaceButton {
            id: cancelButton
            objectName: "duplicateCancelButton"
            text: panel.review && panel.review.count > 0 ? "Cancel" : "Close"
            look: "secondary"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 88
            onClicked: panel.cancel()
        }
        FaceButton {
            id: removeButton
            objectName: "duplicateRemoveButton"
            visible: panel.review && panel.review.count > 0
            text: "Remove"
            glyph: "delete"
            look: "primary"
            tip: "Remove the ticked copies"
            enabled: panel.controlsEnabled && panel.review && panel.review.copies > 0
            onClicked: panel.confirm()
        }
    }
}
