// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// A drop-down list in the face's style. Its list opens under it (over it
// when there is no room) and never leaves the page: it keeps clear of the
// title bar and of the window's edges.
ComboBox {
    id: control

    // The part of the window the list may not cover, from its top.
    property int titleBarHeight: 60

    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    font.family: Theme.font
    font.pixelSize: Theme.small + 1
    implicitHeight: 28

    contentItem: Text {
        leftPadding: 8
        rightPadding: control.indicator.width + 4
        text: control.displayText
        textFormat: Text.PlainText
        font: control.font
        color: control.enabled ? Theme.text : Theme.textDisabled
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    indicator: FaceIcon {
        x: control.width - width - 8
        y: (control.height - height) / 2
        width: 12
        height: 12
        name: "down"
        color: control.enabled ? Theme.text : Theme.textDisabled
    }

    background: Rectangle {
        radius: Theme.radius
        color: !control.enabled ? Theme.disabledFill : control.down ? Theme.secondaryDown
                                                   : control.hovered ? Theme.secondaryHover : Theme.secondary
        border.width: 1
        border.color: control.enabled ? Theme.secondaryBorder : Theme.disabledBorder
        FocusRing {
            radius: parent.radius + gap
            shown: control.visualFocus
        }
    }

    delegate: ItemDelegate {
        id: choice
        required property int index
        required property var modelData
        width: ListView.view ? ListView.view.width : control.width
        height: 26
        highlighted: control.highlightedIndex === index
        contentItem: Text {
            text: choice.modelData
            textFormat: Text.PlainText
            font.family: control.font.family
            font.pixelSize: control.font.pixelSize
            font.bold: control.currentIndex === choice.index
            color: choice.highlighted ? Theme.textOnDark : Theme.text
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        background: Rectangle {
            color: choice.highlighted ? Theme.darkGreen : "transparent"
            radius: 3
        }
    }

    popup: Popup {
        objectName: control.objectName + "Popup"
        y: control.height + 2
        width: control.width
        implicitHeight: Math.min(contentItem.implicitHeight + 8, 260)
        padding: 4
        topMargin: control.titleBarHeight + 4
        bottomMargin: 4
        leftMargin: 4
        rightMargin: 4

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds
            ScrollIndicator.vertical: ScrollIndicator {}
        }
        background: Rectangle {
            color: Theme.card
            radius: Theme.radius
            border.color: Theme.secondaryBorder
            border.width: 1
        }
    }
}
