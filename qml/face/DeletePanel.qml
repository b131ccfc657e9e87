// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts

// What the Delete button asks: for tracks of the library, whether their files
// go to the trash too; for tracks of a playlist of the user's, taking them out
// of it; for such a playlist, deleting it. The program says which (choice).
Panel {
    id: panel

    property var choice: null
    property bool controlsEnabled: true
    readonly property string mode: choice ? choice.mode : ""
    readonly property int count: choice ? choice.trackCount : 0
    readonly property string playlistName: choice ? choice.playlistName : ""

    signal answered(string command, string args)
    signal cancelled

    objectName: "deletePanel"
    title: mode === "playlist" ? "Delete the playlist" : mode === "playlistTracks" ? "Remove from the playlist"
                                                                                     : "Delete tracks"
    glyph: "delete"
    accent: Theme.warning
    cardWidth: 360
    initialFocus: cancelButton
    // No main button: Enter deletes nothing unless a deletion's own button
    // has the focus.

    onDismissed: {
        if (cancelButton.enabled)
            cancel();
    }
    function cancel() {
        open = false;
        cancelled();
    }
    function answer(command, args) {
        open = false;
        answered(command, args);
    }

    Text {
        objectName: "deleteQuestion"
        text: panel.mode === "playlist"
              ? "Delete the playlist \u201c" + panel.playlistName + "\u201d? Its tracks stay in the library."
              : panel.mode === "playlistTracks"
                ? "Take " + panel.count + " track(s) out of \u201c" + panel.playlistName + "\u201d? The library keeps them."
                : "Delete " + panel.count + " track(s) from the library? You can keep their files or move them to the trash."
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.text
        font.family: Theme.font
        font.pixelSize: Theme.body
        Layout.fillWidth: true
    }
    Text {
        text: "The history can put it back."
        color: Theme.textSoft
        font.family: Theme.font
        font.pixelSize: Theme.small
        Layout.fillWidth: true
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        spacing: 8
        Item {
            Layout.fillWidth: true
        }
        FaceButton {
            id: cancelButton
            objectName: "deleteCancelButton"
            text: "Cancel"
            enabled: panel.controlsEnabled
            onClicked: panel.cancel()
        }
        FaceButton {
            objectName: "deleteFromLibraryButton"
            visible: panel.mode === "libraryTracks"
            text: "Library only"
            tip: "Delete the entries; the files stay where they are"
            enabled: panel.controlsEnabled
            onClicked: panel.answer("IDC_FS_deleteFromLibrary", panel.choice.trackIds)
        }
        FaceButton {
            objectName: "deleteFromhardButton"
            visible: panel.mode === "libraryTracks"
            text: "Files too"
            look: "primary"
            danger: true
            tip: "Delete the entries and move their files to the trash"
            enabled: panel.controlsEnabled
            onClicked: panel.answer("IDC_FS_deleteFromhard", panel.choice.trackIds)
        }
        FaceButton {
            objectName: "removeFromPlaylistButton"
            visible: panel.mode === "playlistTracks"
            text: "Remove from this playlist"
            look: "primary"
            enabled: panel.controlsEnabled
            onClicked: panel.answer("IDC_FS_removeFromPlaylist", panel.choice.playlistArgs)
        }
        FaceButton {
            objectName: "deletePlaylistButton"
            visible: panel.mode === "playlist"
            text: "Delete this playlist"
            look: "primary"
            danger: true
            enabled: panel.controlsEnabled
            onClicked: panel.answer("IDC_FS_deletePlaylist", panel.choice.playlistArgs)
        }
    }
}
