/* viewer_search.cpp - the search command: the form read into a key, the library's matches
 * shown as rows of the result list. Defines SearchCommand.
 */
#include "viewer.h"

void SearchCommand(void)
{
}
