// The workbook component's own tests: records, container, model, reader,
// and round trips checked by FreeXL.
#include <QCoreApplication>

int RunBiffRecordTests(int argc, char** argv);
int RunCompoundFileTests(int argc, char** argv);
int RunWorkbookTests(int argc, char** argv);
int RunXlsRoundTripTests(int argc, char** argv);
int RunXlsReaderTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (auto run : {RunBiffRecordTests, RunCompoundFileTests, RunWorkbookTests,
                     RunXlsRoundTripTests, RunXlsReaderTests})
        failed += run(argc, argv);
    return failed == 0 ? 0 : 1;
}
