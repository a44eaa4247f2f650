// The exchange wait: after every command, pump the UI thread's messages until a reply has
// been applied or Timer1 has fired, or the window has closed. The reply arrives during the pumping
// (the port's receive event runs nested here), and so do clicks, tab changes and the timer tick.
#include "app/MainForm.h"

#include "framework/core/Application.h"

void TMainForm::WaitCommandExecute()
{
    ReplyTimedOut = 0;
    // A running period is not restarted: the 1500 ms count across a procedure's exchanges
    // (each procedure stops the timer before its first wait).
    Timer1->setEnabled(true);
    Application &application = Application::instance();
    for (;;) {
        application.ProcessMessages();
        if (ReplyTimedOut == 1) {
            StatusConnect->setText("Connect Time-Out");
            // The rest of the procedure runs on quickly: each later wait ends at the next tick.
            Timer1->setInterval(1);
        }
        if (ReplyReceived == 1 || ReplyTimedOut == 1 || application.quitRequested())
            return;
        // Sleep until the next event instead of spinning; what wakes the wait is dispatched
        // and the flags are tested again after the next full pass.
        application.WaitMessage();
    }
}

void TMainForm::Timer1Timer(Control *)
{
    ReplyTimedOut = 1;
    Timer1->setEnabled(false);
}
