// SPDX-License-Identifier: GPL-3.0-or-later
#include "fingerprint/FingerprintLog.h"

Q_LOGGING_CATEGORY(lcFingerprint, "tidyfox.fingerprint", QtWarningMsg)
