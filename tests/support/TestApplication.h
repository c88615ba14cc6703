#pragma once

// The application object every test executable owns (support/TestMain.cpp), for tests that end a process as
// the program ends.

namespace test_support {

// Destroys the application object, as the program's end does before what it keeps open to the end (the open
// project) goes. Only for a child process that exits afterwards: nothing of Qt that needs the application may
// run after it.
void endApplication();

} // namespace test_support
