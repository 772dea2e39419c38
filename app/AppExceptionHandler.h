#pragma once

// Installs the demo's default exception handler: an exception that ends an
// event handler is shown as an error message box (through AppMessages, so
// tests can capture it) with the exception's text.
void InstallAppExceptionHandler();
