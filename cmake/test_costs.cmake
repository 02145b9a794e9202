# Read by ctest after the discovered tests: the longest ones start first, so that a parallel run is not
# left waiting on one that started last.
foreach(test
    SpoolEndToEnd.KilledAtRandomMomentsLosesNoLine
    SpoolEndToEnd/SpoolSharing.ConcurrentWritersLoseAndDuplicateNothing/Lease
    SpoolEndToEnd/SpoolSharing.ConcurrentWritersLoseAndDuplicateNothing/Guarded
    SpoolEndToEnd/SpoolSharing.TakesBecomePdfsTheFileStaysAndAnIdleQuitIsQuick/Lease
    SpoolEndToEnd/SpoolSharing.TakesBecomePdfsTheFileStaysAndAnIdleQuitIsQuick/Guarded
    ProgramDesktop.TrayIconMenuAndBeendenEndWithCodeZeroAfterPrinting
    Escp2EndToEnd.DosPrintoutsComeOutAsOnThePrinter
    PdfPrintDeviceTest.AbandonedAndLeftoverPartsVanishAndEndlessLinesStayValid
    PdfPrintDeviceTest.PaperSizeComesFromSettingsWithA4Fallback
    GraphicsEndToEnd.LogoBetweenTextLinesAndGraphicsOnlyPages
    CupsPrinting.DosQueuePrintsEveryClientsJobAsQuillmarkRenderDoes
    ProgramDesktop.WithoutIconSigtermEndsWithCodeZeroAfterPrinting
    CupsPrinting.JobArrivesWithTitleTextAndPagesAndAStoppedSchedulerMeansNotDelivered
    DosEmulator.DosBoxAppendsThroughDosAndEveryLineIsPrintedOnce)
  set_tests_properties(${test} PROPERTIES COST 100)
endforeach()
