#pragma once

// Removes from CUPS every queue whose PPD names one of the maker's models.
void DeletePrinter();
