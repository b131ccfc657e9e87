// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The one keyboard focus ring of the face: every control that takes the
// keyboard shows this, and nothing else, where the focus is.
Rectangle {
    property bool shown: false
    property real gap: 3

    anchors.fill: parent
    anchors.margins: -gap
    radius: Theme.radius
    color: "transparent"
    border.width: Theme.focusWidth
    border.color: Theme.focus
    visible: shown
}
