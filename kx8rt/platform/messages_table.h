// The message catalogue, one line a message: KX8_MESSAGE(constant, English text). The constant is the
// message's name without its leading underscore (KXYes is "_KXYes"). Adding a message is adding its line
// here; messages.h turns the lines into constants and messages.cpp into the table. A name used twice
// does not compile. Keep the texts exactly as the tools show them; placeholders are Format's.
// (No include guard: this file is meant to be included once per expansion of KX8_MESSAGE.)

// answers and buttons
KX8_MESSAGE(KXYes, u"Yes")
KX8_MESSAGE(KXNo, u"No")
KX8_MESSAGE(KXOK, u"OK")
KX8_MESSAGE(KXCancel, u"Cancel")

// lists and files
KX8_MESSAGE(KXXList, u"%s list")
KX8_MESSAGE(KXFileReadError, u"file read error (%d) : %s")

// concordance positions and association measures
KX8_MESSAGE(KXSpanLeftLetter, u"L")
KX8_MESSAGE(KXSpanRightLetter, u"R")
KX8_MESSAGE(KXCentre, u"Centre")
KX8_MESSAGE(KXDiceCoefficient, u"Dice coefficient")
KX8_MESSAGE(KXSpecificMutualInformation, u"Specific Mutual Information")
KX8_MESSAGE(KXMI3, u"MI3")
KX8_MESSAGE(KXZScore, u"Z Score")
KX8_MESSAGE(KXLogLikelihood, u"Log likelihood")
KX8_MESSAGE(KXTScore, u"T Score")
KX8_MESSAGE(KXLogRatio, u"Log ratio")
KX8_MESSAGE(KXConditionalProbability, u"Conditional Probability")
KX8_MESSAGE(KXDeltaP, u"DeltaP")

// list types' display names (the words fill "%s list" or "%s Timeline List")
KX8_MESSAGE(KXXTimelineList, u"%s Timeline List")
KX8_MESSAGE(KXListWordWord, u"Word")
KX8_MESSAGE(KXListWordKeyWord, u"key word")
KX8_MESSAGE(KXListWordSalienceDatabase, u"Salience Database")
KX8_MESSAGE(KXListWordDetailedConsistencyRelations, u"Detailed consistency relations")
KX8_MESSAGE(KXListWordDetailedConsistency, u"Detailed consistency")
KX8_MESSAGE(KXListWordCollocate, u"Collocate")
KX8_MESSAGE(KXListWordVIDA, u"VIDA")
KX8_MESSAGE(KXListWordConcordance, u"concordance")
KX8_MESSAGE(KXListWordSaliencePlot, u"Salience Plot")
KX8_MESSAGE(KXListWordConcordancePlot, u"Concordance Plot")
KX8_MESSAGE(KXListWordConcordanceCluster, u"Concordance Cluster")
KX8_MESSAGE(KXListWordConcordancePattern, u"Concordance Pattern")
KX8_MESSAGE(KXListWordAssociate, u"Associate")
KX8_MESSAGE(KXListWordClump, u"Clump")
KX8_MESSAGE(KXListWordFilename, u"Filename")
KX8_MESSAGE(KXListWordLink, u"Link")
KX8_MESSAGE(KXListWordStatistics, u"statistics")
KX8_MESSAGE(KXListWordAligner, u"Aligner")
KX8_MESSAGE(KXListWordText, u"text")
KX8_MESSAGE(KXListWordWordlistIndex, u"Wordlist Index")
KX8_MESSAGE(KXListWordSalienceCluster, u"Salience Cluster")
KX8_MESSAGE(KXListWordNotes, u"Notes")
KX8_MESSAGE(KXListWordSourceText, u"source text")
KX8_MESSAGE(KXListWordRelationships, u"relationships")
KX8_MESSAGE(KXListWordViewer, u"Viewer")
KX8_MESSAGE(KXListWordKXCogrid, u"KXCogrid")
KX8_MESSAGE(KXListWordMarkup, u"mark-up")
KX8_MESSAGE(KXListWordSection, u"section")
KX8_MESSAGE(KXListWordLetterrun, u"Letterrun")
KX8_MESSAGE(KXListWordLetterrunPattern, u"Letterrun Pattern")
KX8_MESSAGE(KXListWordSort, u"Sort")

// folder walks
KX8_MESSAGE(KXCannotRename, u"cannot rename %s")

// system routines
KX8_MESSAGE(KXTrue, u"true")
KX8_MESSAGE(KXFalse, u"false")
KX8_MESSAGE(KXConfirmation, u"Confirmation")
KX8_MESSAGE(KXOverwriteXWithBackupQ, u"Overwrite %s (with backup)?")
KX8_MESSAGE(KXOnlyMbSpaceOnDriveDProceed, u"Only %dMb space left on %s -- Proceed?")

// dates
KX8_MESSAGE(KXUnknown_date_str, u"<no date found>")
KX8_MESSAGE(KXXIsNotAValidDate, u"'%s' is not a valid date")
KX8_MESSAGE(KXXIsNotAValidTime, u"'%s' is not a valid time")
KX8_MESSAGE(KXXIsNotAValidDateAndTime, u"'%s' is not a valid date and time")

// file routines
KX8_MESSAGE(KXSureQ, u"Sure?")
KX8_MESSAGE(KXDeleteThe1XFileInY, u"Delete the one %s file in %s?")
KX8_MESSAGE(KXDeleteAllXFilesInY, u"Delete all %d %s files in %s?")
KX8_MESSAGE(KXDeleteFileXQ, u"Delete %s?")
KX8_MESSAGE(KXTempFolderName, u"KX8_TEMP")

// numbers, sizes and number lists
KX8_MESSAGE(KXPtw, u"ptw")
KX8_MESSAGE(KXPmw, u"pmw")
KX8_MESSAGE(KXGigabyte, u"Gb")
KX8_MESSAGE(KXMegabyte, u"Mb")
KX8_MESSAGE(KXKilobyte, u"Kb")
KX8_MESSAGE(KXByte, u"bytes")
KX8_MESSAGE(KXNumberListTooLong, u"The number list \"%s\" stands for more than %d numbers")

// search items, search requests and word lists
KX8_MESSAGE(KXEtc, u"etc.")
KX8_MESSAGE(KXMatchesMatchNow, u"find matches and mark them")
KX8_MESSAGE(KXMatchesDeleteMatches, u"delete entries which match")
KX8_MESSAGE(KXMatchesDeleteNonMatches, u"delete entries not matched")
KX8_MESSAGE(KXMatchesCopyToSetColumn, u"copy any matches to Set Column")
KX8_MESSAGE(KXMatchesRemoveMatchMarking, u"remove match marks")
