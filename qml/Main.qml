// SPDX-License-Identifier: GPL-3.0-or-later
// Tidyfox's face: everything the user sees apart from the library list,
// which the program lays over the framed well in the middle (x 85, y 196,
// about 293 x 229 px at the first size, 450 x 525). The window grows from
// there; the well, the card around it and the rows of buttons grow by as
// much as the window does, and so does the list over the well.
//
// The program talks to the scene in two directions only:
//   setVariable(name, value)  every "_root.*" assignment, in the order made;
//                             the assignment itself is the request, so the
//                             same value twice acts twice; unknown names are
//                             ignored; assignments made before the scene has
//                             completed are kept and applied on completion.
//   fsCommand(command, args)  every command of the user; "start" once, when
//                             the scene is ready.
//
// The panels that cover the well open only together with the command or
// variable that makes the program hide the list: about with "IDC_FS_about",
// the filter with "IDC_FS_removeDuplicate", an alert with its show*alert
// variable, the track details with "_root.showtracinfowin".
//
// Stable object names, for tests and tools:
//   window:   dragArea, miniButton, maxiButton (sends "IDC_FS_maxi"),
//             exitButton
//   main:     removeDuplicatesButton, deleteDeadTracksButton, viewTrackButton,
//             deleteButton, refreshButton, aboutButton, helpButton, libraryWell,
//             busyIndicator, busyText, versionText, listSearch (its text goes
//             to the program's libraryList object as it is typed),
//             libraryListFocus (the list's place in the tab order),
//             stopListeningButton (shown while jobStatus.listening; sends
//             "IDC_FS_stopListening")
//   dead tracks question: deadTracksConfirm, deadTracksConfirmOkButton
//             (sends "IDC_FS_deleteDeadTracks"), deadTracksConfirmCancelButton,
//             deadTracksConfirmAlternativeButton (sends "IDC_FS_findDeadTracks")
//   duplicate review: duplicateReview (opened by the program's review model
//             after "IDC_FS_findDuplicates", which the filter's OK sends),
//             duplicateList, duplicateTick<row>, duplicateKeeper<row>,
//             duplicateRule, duplicateMerge, duplicateKeepFiles,
//             duplicateTotals, duplicateRemoveButton (sends "IDC_FS_okfilter"
//             with the filter when nothing was changed, else
//             "IDC_FS_removeReviewed"), duplicateCancelButton (sends
//             "IDC_FS_don'tRemoveDuplicateFromlibrary")
//   dead track review: deadTrackReview (opened by the program's review
//             model), deadTrackList, deadTrackTick<row>, deadTrackDeleteButton
//             (sends "IDC_FS_deleteDeadTracks" with every track ticked, else
//             "IDC_FS_deleteReviewedDeadTracks" with the ticked ids),
//             deadTrackCancelButton
//             (sends "IDC_FS_don'tDeleteFromLibrary")
//   filter:   filterPanel, filterName, filterSize, filterAlbum, filterArtist,
//             filterBitRate, filterSampleRate, filterFileName (positions 0-6),
//             filterKeepFiles (position 7), filterSoundAlike and
//             filterLooseNames (the words "sound" and "loose" of position 8,
//             sent only when ticked), filterOkButton, filterCancelButton
//   alert:    alertPanel (kind: "info", "warning", "error"; title), alertText,
//             alertOkButton, alertUndoButton (shown when jobStatus.undoJob is
//             set; sends "IDC_FS_undoLast")
//   history:  historyButton (sends "IDC_FS_showHistory"; the program's
//             jobHistory model opens historyPanel), historyList,
//             historyRestore<row> (sends "IDC_FS_restoreJob" with the job's
//             id), historyCloseButton (sends "IDC_FS_cancel")
//   delete:   deleteButton (sends "IDC_FS_delete"; the program's deleteChoice
//             opens deletePanel), deleteFromLibraryButton and
//             deleteFromhardButton (send "IDC_FS_deleteFromLibrary" and
//             "IDC_FS_deleteFromhard" with the tracks' database ids),
//             removeFromPlaylistButton ("IDC_FS_removeFromPlaylist" with
//             "playlist;id,id,..."), deletePlaylistButton
//             ("IDC_FS_deletePlaylist" with the playlist's id),
//             deleteCancelButton ("IDC_FS_don'tDeleteFromLibrary")
//   about:    aboutPanel, aboutVersion, aboutDescription, aboutCloseButton
//   track:    trackPanel (lines), trackInfoList, trackValue<n>, trackCloseButton
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import "face"

Rectangle {
    id: root

    signal fsCommand(string command, string args)

    // What the program has told the face.
    property string aboutVersion
    property string aboutDescription
    property string alertTitle
    property string alertText
    property string trackInfo
    property string activationText
    property bool busy: false
    property bool buttonsEnabled: true
    property bool viewEnabled: false
    property bool deleteEnabled: false

    // How far a long job is, from the program's job status object (not a
    // variable); total 0 when no job reports any.
    readonly property int progressDone: typeof jobStatus !== "undefined" && jobStatus ? jobStatus.progressDone : 0
    readonly property int progressTotal: typeof jobStatus !== "undefined" && jobStatus ? jobStatus.progressTotal : 0
    readonly property bool showsProgress: busy && progressTotal > 0
    readonly property bool listening: typeof jobStatus !== "undefined" && jobStatus ? jobStatus.listening : false

    function countText(n) {
        return Number(n).toLocaleString(Qt.locale("en_US"), "f", 0);
    }

    // Assignments that arrive before completion wait here.
    property bool ready: false
    property var pending

    // A panel is open over the page: the page behind it takes no input.
    readonly property bool modal: filterPanel.open || aboutPanel.open || trackPanel.open || alertPanel.open
                                  || deadTrackReviewPanel.open || duplicateReviewPanel.open
                                  || historyPanel.open || deletePanel.open

    width: 450
    height: 525
    color: Theme.page

    // How much larger than its first size the window is now.
    readonly property real growX: Math.max(0, width - 450)
    readonly property real growY: Math.max(0, height - 525)

    function setVariable(name, value) {
        if (!ready) {
            pending = (pending || []).concat([[String(name), String(value)]]);
            return;
        }
        apply(String(name), String(value));
    }

    // The program's texts use a carriage return alone as the line break.
    function lines(text) {
        return text.replace(/\r\n?/g, "\n");
    }

    function apply(name, value) {
        switch (name) {
        case "_root.activationtxt":
            activationText = value;
            break;
        case "_root.enableactivationmovie":
            busy = true;
            break;
        case "_root.disableactivationmovie":
            busy = false;
            break;
        case "_root.disablebtns":
            buttonsEnabled = false;
            break;
        case "_root.enablebtns":
            buttonsEnabled = true;
            break;
        case "_root.alerttitle":
            alertTitle = value;
            break;
        case "_root.alerttxt":
            alertText = lines(value);
            break;
        case "_root.showinfoalert":
            showAlert("info");
            break;
        case "_root.showexclaminationalert":
            showAlert("warning");
            break;
        case "_root.showcriticalalert":
            showAlert("error");
            break;
        case "_root.enableview2":
            viewEnabled = true;
            break;
        case "_root.disableview2":
            viewEnabled = false;
            break;
        case "_root.enabledelete":
            deleteEnabled = true;
            break;
        case "_root.disabledelete":
            deleteEnabled = false;
            break;
        case "_root.trackinfo":
            trackInfo = lines(value);
            break;
        case "_root.showtracinfowin":
            openPanel(trackPanel);
            break;
        case "_root.aboutversion":
            aboutVersion = value;
            break;
        case "_root.aboutdescription":
            aboutDescription = value;
            break;
        }
    }

    function showAlert(kind) {
        alertPanel.kind = kind;
        alertPanel.present();
    }

    // Opening one of the three page panels closes the others; an alert
    // stays on top of whatever is open.
    function openPanel(panel) {
        for (const other of [filterPanel, aboutPanel, trackPanel, deadTrackReviewPanel, duplicateReviewPanel,
                             historyPanel, deletePanel])
            if (other !== panel)
                other.open = false;
        panel.present();
    }

    // Escape closes the top panel wherever the keyboard is, also on the
    // window's own buttons outside the panel.
    Keys.onEscapePressed: event => {
        for (const panel of [alertPanel, trackPanel, aboutPanel, filterPanel, deadTrackReviewPanel,
                             duplicateReviewPanel]) {
            if (panel.open) {
                panel.dismissed();
                event.accepted = true;
                return;
            }
        }
        event.accepted = false;
    }

    // The keyboard leaves the library list by Tab or Shift+Tab: the control
    // after its well, or before it, takes it.
    function focusFromList(forward) {
        const next = listGate.nextItemInFocusChain(forward);
        if (next)
            next.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason);
    }

    function send(command, args) {
        fsCommand(command, args === undefined ? "" : args);
    }

    Component.onCompleted: {
        ready = true;
        const queued = pending || [];
        pending = undefined;
        for (const [name, value] of queued)
            apply(name, value);
        startTimer.start();
    }

    // "start" goes out a moment after completion, from the event loop, so
    // that the program has connected to the scene and the first frame is on
    // its way before its start-up work begins.
    Timer {
        id: startTimer
        interval: 50
        onTriggered: root.send("start")
    }

    // ---- Title bar -------------------------------------------------------

    Rectangle {
        id: titleBar
        width: parent.width
        height: 60
        gradient: Gradient {
            GradientStop {
                position: 0
                color: Theme.headerTop
            }
            GradientStop {
                position: 1
                color: Theme.headerBottom
            }
        }

        // Pressing anywhere on the bar outside its buttons moves the window.
        // The press is not kept, so that the next press is seen again even
        // when the window system takes over the pointer for the move.
        MouseArea {
            objectName: "dragArea"
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton
            onPressed: mouse => {
                mouse.accepted = false;
                root.send("IDC_FS_drag");
            }
        }

        FoxMark {
            x: 14
            y: 9
            width: 42
            height: 42
        }
        Text {
            x: 64
            y: 8
            text: "Tidyfox"
            color: Theme.textOnDark
            font.family: Theme.font
            font.pixelSize: 22
            font.bold: true
        }
        Text {
            x: 65
            y: 36
            text: "Clean up your iTunes library"
            color: Theme.yellowGreen
            font.family: Theme.font
            font.pixelSize: Theme.small
        }

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            spacing: 4

            FaceButton {
                objectName: "miniButton"
                look: "chrome"
                glyph: "minimise"
                width: 32
                height: 30
                padding: 6
                tip: "Minimise"
                onClicked: root.send("IDC_FS_mini")
            }
            FaceButton {
                objectName: "maxiButton"
                look: "chrome"
                glyph: "maximise"
                width: 32
                height: 30
                padding: 7
                tip: "Maximise, or back to the size before"
                onClicked: root.send("IDC_FS_maxi")
            }
            FaceButton {
                objectName: "exitButton"
                look: "chrome"
                glyph: "close"
                danger: true
                width: 32
                height: 30
                padding: 6
                tip: "Close Tidyfox"
                onClicked: root.send("IDC_FS_exit")
            }
        }
    }

    // ---- The page ----------------------------------------------------------

    Item {
        id: page
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        enabled: !root.modal

        // The two cleaning jobs.
        FaceButton {
            objectName: "removeDuplicatesButton"
            x: 14
            y: 12
            width: 206 + root.growX / 2
            height: 60
            look: "primary"
            glyph: "duplicates"
            text: "Remove duplicates"
            detail: "Find copies by the properties you choose"
            tip: "Choose what makes two tracks copies, then remove the later copies"
            enabled: root.buttonsEnabled
            visible: !deadTracksConfirm.open
            onClicked: {
                root.send("IDC_FS_removeDuplicate");
                root.openPanel(filterPanel);
            }
        }
        FaceButton {
            id: deadTracksButton
            objectName: "deleteDeadTracksButton"
            x: 230 + root.growX / 2
            y: 12
            width: 206 + root.growX / 2
            height: 60
            look: "primary"
            glyph: "deadtrack"
            text: "Delete dead tracks"
            detail: "Drop the entries whose file is gone"
            tip: "Remove every library entry whose music file can no longer be found"
            enabled: root.buttonsEnabled
            visible: !deadTracksConfirm.open
            // Asked first: with a music drive disconnected, every track on
            // it looks dead.
            onClicked: {
                deadTracksConfirm.returnFocus = deadTracksButton;
                deadTracksConfirm.open = true;
            }
        }
        ConfirmStrip {
            id: deadTracksConfirm
            objectName: "deadTracksConfirm"
            x: 14
            y: 12
            width: 422 + root.growX
            height: implicitHeight
            title: "Delete dead tracks now?"
            message: "Entries whose file is missing leave the library. Tracks on a drive that is not connected stay; connect your music drives first to check them too."
            confirmText: "Delete"
            alternativeText: "Review"
            controlsEnabled: root.buttonsEnabled
            onConfirmed: root.send("IDC_FS_deleteDeadTracks")
            onAlternative: root.send("IDC_FS_findDeadTracks")
            onCancelled: root.send("IDC_FS_don'tDeleteFromLibrary")
        }

        // The library card: a caption, the well the list lies in, and the
        // tools for the selection.
        Rectangle {
            id: card
            x: 14
            y: 82
            width: 422 + root.growX
            height: 336 + root.growY
            radius: 8
            color: Theme.card
            border.color: Theme.cardBorder

            RowLayout {
                x: 67
                y: 10
                width: 301 + root.growX
                height: 28
                spacing: 6

                FaceIcon {
                    name: "library"
                    color: Theme.darkGreen
                    Layout.preferredWidth: 18
                    Layout.preferredHeight: 18
                }
                Text {
                    text: typeof librarySource !== "undefined" ? librarySource.name : "Library"
                    color: Theme.text
                    font.family: Theme.font
                    font.pixelSize: Theme.large
                    font.bold: true
                    // Leaves the search field its room.
                    elide: Text.ElideRight
                    Layout.maximumWidth: 110 + root.growX / 2
                }
                // Narrows the list to the playlists and tracks whose name,
                // artist or album holds the text, as it is typed.
                FaceSearch {
                    id: search
                    objectName: "listSearch"
                    visible: !root.busy
                    enabled: root.buttonsEnabled
                    placeholder: "Find a track, artist or album"
                    Layout.fillWidth: true
                    Layout.leftMargin: 8
                    onTextChanged: {
                        if (typeof libraryList !== "undefined" && libraryList)
                            libraryList.searchText = text;
                    }
                }
                Item {
                    visible: root.busy
                    Layout.fillWidth: true
                }
                Spinner {
                    objectName: "busyIndicator"
                    visible: root.busy
                    running: root.busy
                    dotSize: 3.5
                    Layout.preferredWidth: 20
                    Layout.preferredHeight: 20
                }
                Text {
                    objectName: "busyText"
                    visible: root.busy
                    text: root.busy ? root.activationText : ""
                    textFormat: Text.PlainText
                    color: root.busy ? Theme.text : Theme.textSoft
                    font.family: Theme.font
                    font.pixelSize: Theme.small
                    font.bold: root.busy
                    elide: Text.ElideRight
                    horizontalAlignment: Text.AlignRight
                    Layout.maximumWidth: root.listening ? 240 : root.showsProgress ? 100 : 200
                }
                FaceButton {
                    objectName: "stopListeningButton"
                    visible: root.listening
                    text: "Stop"
                    look: "secondary"
                    tip: "Stop listening; the fingerprints made so far are kept"
                    Layout.preferredWidth: 56
                    onClicked: root.send("IDC_FS_stopListening")
                }
                Text {
                    objectName: "progressText"
                    visible: root.showsProgress && !root.listening
                    text: root.countText(root.progressDone) + " of " + root.countText(root.progressTotal)
                    textFormat: Text.PlainText
                    color: Theme.textSoft
                    font.family: Theme.font
                    font.pixelSize: Theme.small
                }
            }

            // The progress bar under the caption.
            Rectangle {
                objectName: "progressBar"
                x: 67
                y: 40
                width: 301 + root.growX
                height: 3
                radius: 1.5
                visible: root.showsProgress
                color: Theme.paleGreen

                Rectangle {
                    objectName: "progressFill"
                    width: root.progressTotal > 0 ? parent.width * Math.min(1, root.progressDone / root.progressTotal) : 0
                    height: parent.height
                    radius: parent.radius
                    color: Theme.darkGreen
                }
            }

            // The well: the library list lies exactly over its inside
            // (85, 196 in the window). What is drawn here shows only while
            // the list is not there, before the library is loaded.
            Rectangle {
                id: well
                objectName: "libraryWell"
                x: 85 - 4 - card.x
                y: 196 - 4 - page.y - card.y
                width: 293 + 8 + root.growX
                height: 229 + 8 + root.growY
                radius: 4
                color: Theme.paleGreen
                border.color: Theme.yellowGreen
                border.width: 2

                // The list's place in the tab order: reached by Tab, it hands
                // the keyboard to the list.
                Control {
                    id: listGate
                    objectName: "libraryListFocus"
                    anchors.fill: parent
                    focusPolicy: Qt.TabFocus
                    Accessible.name: "Library list"
                    onActiveFocusChanged: {
                        if (activeFocus && (focusReason === Qt.TabFocusReason || focusReason === Qt.BacktabFocusReason)
                                && typeof libraryList !== "undefined" && libraryList)
                            libraryList.focusList();
                    }
                }
                FocusRing {
                    shown: typeof libraryList !== "undefined" && libraryList ? libraryList.focused : false
                }

                Column {
                    anchors.centerIn: parent
                    width: parent.width - 40
                    spacing: 12

                    Item {
                        width: 96
                        height: 96
                        anchors.horizontalCenter: parent.horizontalCenter
                        FoxMark {
                            anchors.centerIn: parent
                            width: 56
                            height: 56
                            opacity: root.busy ? 1 : 0.35
                        }
                        Spinner {
                            anchors.fill: parent
                            visible: root.busy
                            running: root.busy
                            dotSize: 7
                        }
                    }
                    Text {
                        width: parent.width
                        text: root.busy && root.activationText !== "" ? root.activationText
                                                                       : "Your library appears here"
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        color: Theme.text
                        font.family: Theme.font
                        font.pixelSize: Theme.body
                    }
                }
            }

            Row {
                anchors.horizontalCenter: well.horizontalCenter
                y: well.y + well.height + 8
                spacing: 8

                FaceButton {
                    objectName: "viewTrackButton"
                    width: 100
                    glyph: "view"
                    text: "View track"
                    tip: "Show the details of the selected track"
                    tipBelow: true
                    enabled: root.buttonsEnabled && root.viewEnabled
                    onClicked: root.send("IDC_FS_viewTrack2")
                }
                FaceButton {
                    objectName: "deleteButton"
                    width: 88
                    glyph: "delete"
                    text: "Delete"
                    tip: "Delete the selected tracks or playlist"
                    enabled: root.buttonsEnabled && root.deleteEnabled
                    // The program works out what the selection is and asks.
                    onClicked: root.send("IDC_FS_delete")
                }
                FaceButton {
                    objectName: "refreshButton"
                    width: 96
                    glyph: "refresh"
                    text: "Refresh"
                    tip: "Load the library list again"
                    enabled: root.buttonsEnabled
                    onClicked: root.send("IDC_FS_refreshList2")
                }
            }
        }

        // ---- Footer ----------------------------------------------------------
        RowLayout {
            x: 14
            y: card.y + card.height + 8
            width: 422 + root.growX
            height: 32
            spacing: 6

            FaceButton {
                objectName: "helpButton"
                look: "quiet"
                glyph: "help"
                text: "Help"
                tip: "Open the Tidyfox help"
                tipBelow: false
                onClicked: root.send("IDC_FS_help")
            }
            FaceButton {
                objectName: "historyButton"
                look: "quiet"
                glyph: "library"
                text: "History"
                tip: "What was cleaned up or deleted, to put it back"
                tipBelow: false
                enabled: root.buttonsEnabled
                // The program reads the history and asks for the panel.
                onClicked: root.send("IDC_FS_showHistory")
            }
            FaceButton {
                objectName: "aboutButton"
                look: "quiet"
                glyph: "about"
                text: "About"
                tip: "About Tidyfox"
                tipBelow: false
                enabled: root.buttonsEnabled
                onClicked: {
                    root.send("IDC_FS_about");
                    root.openPanel(aboutPanel);
                }
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                objectName: "versionText"
                visible: root.aboutVersion !== ""
                text: "Version " + root.aboutVersion
                textFormat: Text.PlainText
                color: Theme.textSoft
                font.family: Theme.font
                font.pixelSize: Theme.small
                Layout.rightMargin: 4
            }
        }
    }

    // ---- Panels over the page -----------------------------------------------

    Item {
        id: panelArea
        anchors.fill: page

        FilterPanel {
            id: filterPanel
            objectName: "filterPanel"
            anchors.fill: parent
            controlsEnabled: root.buttonsEnabled
            // The filter's choice is looked at first: the program finds the
            // copies and opens their review.
            onAccepted: filter => root.send("IDC_FS_findDuplicates", filter)
            onCancelled: root.send("IDC_FS_cancel")
        }
        AboutPanel {
            id: aboutPanel
            anchors.fill: parent
            version: root.aboutVersion
            description: root.aboutDescription
            controlsEnabled: root.buttonsEnabled
            onClosed: root.send("IDC_FS_cancel")
        }
        TrackPanel {
            id: trackPanel
            anchors.fill: parent
            info: root.trackInfo
            controlsEnabled: root.buttonsEnabled
            onClosed: root.send("IDC_FS_exitTrackInfoWindow")
        }
        DuplicateReviewPanel {
            id: duplicateReviewPanel
            anchors.fill: parent
            review: typeof duplicateReview !== "undefined" ? duplicateReview : null
            controlsEnabled: root.buttonsEnabled
            onConfirmed: (command, args) => root.send(command, args)
            onCancelled: root.send("IDC_FS_don'tRemoveDuplicateFromlibrary")
        }
        Connections {
            target: duplicateReviewPanel.review
            function onOpened() {
                root.openPanel(duplicateReviewPanel);
            }
        }
        DeadTrackReviewPanel {
            id: deadTrackReviewPanel
            anchors.fill: parent
            review: typeof deadTrackReview !== "undefined" ? deadTrackReview : null
            controlsEnabled: root.buttonsEnabled
            onConfirmedAll: root.send("IDC_FS_deleteDeadTracks")
            onConfirmedSome: ids => root.send("IDC_FS_deleteReviewedDeadTracks", ids)
            onCancelled: root.send("IDC_FS_don'tDeleteFromLibrary")
        }
        // The program fills the review, then asks for it to be shown.
        Connections {
            target: deadTrackReviewPanel.review
            function onOpened() {
                root.openPanel(deadTrackReviewPanel);
            }
        }
        HistoryPanel {
            id: historyPanel
            anchors.fill: parent
            history: typeof jobHistory !== "undefined" ? jobHistory : null
            controlsEnabled: root.buttonsEnabled
            onRestoreRequested: jobId => root.send("IDC_FS_restoreJob", String(jobId))
            onClosed: root.send("IDC_FS_cancel")
        }
        Connections {
            target: historyPanel.history
            function onOpened() {
                root.openPanel(historyPanel);
            }
        }
        DeletePanel {
            id: deletePanel
            anchors.fill: parent
            choice: typeof deleteChoice !== "undefined" ? deleteChoice : null
            controlsEnabled: root.buttonsEnabled
            onAnswered: (command, args) => root.send(command, args)
            onCancelled: root.send("IDC_FS_don'tDeleteFromLibrary")
        }
        Connections {
            target: deletePanel.choice
            function onOpened() {
                root.openPanel(deletePanel);
            }
        }
        AlertPanel {
            id: alertPanel
            anchors.fill: parent
            title: root.alertTitle
            message: root.alertText
            // Why a job stopped: given by the program beside the variables.
            detail: typeof jobStatus !== "undefined" && jobStatus ? jobStatus.alertDetail : ""
            controlsEnabled: root.buttonsEnabled
            undoJob: typeof jobStatus !== "undefined" && jobStatus ? jobStatus.undoJob : 0
            onAcknowledged: root.send("IDC_FS_okalert")
            onUndoRequested: root.send("IDC_FS_undoLast")
        }
    }
}
