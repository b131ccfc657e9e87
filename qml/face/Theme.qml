// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick

// One place for the face's colours, type and measures. The greens are the
// library grid's own, so the list and the face around it read as one thing;
// the fox orange is the single warm accent (the mark and keyboard focus).
// Every text colour reads at 4.5:1 or better on the surfaces it sits on.
QtObject {
    // The grid's greens.
    readonly property color paleGreen: "#eefdcf"
    readonly property color darkGreen: "#00760b"
    readonly property color offWhite: "#fdfdf2"
    readonly property color textGreen: "#015209"
    readonly property color yellowGreen: "#b5d155"

    // Surfaces.
    readonly property color page: "#f3f6e4"
    readonly property color card: offWhite
    readonly property color cardBorder: "#d3dcb4"
    readonly property color headerTop: "#0b5e17"
    readonly property color headerBottom: textGreen
    readonly property color scrim: "#99223018"

    // Text.
    readonly property color text: textGreen
    readonly property color textSoft: "#4f6b3f"
    readonly property color textOnDark: offWhite
    readonly property color textDisabled: "#646e5a"

    // Buttons.
    readonly property color primary: darkGreen
    readonly property color primaryHover: "#077d14"
    readonly property color primaryDown: textGreen
    readonly property color secondary: paleGreen
    readonly property color secondaryHover: "#e2f6b8"
    readonly property color secondaryDown: "#d3eb9c"
    readonly property color secondaryBorder: yellowGreen
    readonly property color disabledFill: "#eceee3"
    readonly property color disabledBorder: "#d6dbc9"

    // The fox, and the one focus ring of the face (and of the list), drawn
    // in a darker shade of it.
    readonly property color fox: "#d9762b"
    readonly property color foxDark: "#8a4212"
    readonly property color focus: "#c25e10"
    readonly property int focusWidth: 2

    // Alert kinds.
    readonly property color info: darkGreen
    readonly property color warning: "#94600a"
    readonly property color error: "#b3261e"

    readonly property string font: "DejaVu Sans"
    readonly property int small: 11
    readonly property int body: 12
    readonly property int large: 14
    readonly property int radius: 6
}
