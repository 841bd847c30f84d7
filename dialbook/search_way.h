/* search_way.h - how a search finds the records it tries, chosen per key (search_way.cpp). */
#ifndef DIALBOOK_SEARCH_WAY_H
#define DIALBOOK_SEARCH_WAY_H

#include "key_matching.h"

/* Sets key's way (and its filter field and scan plan) to the one that costs least a record by the
 * store's figures; the tests' switch may ask for a way instead, which the key takes when it can. */
void ChooseSearchWay(const DatabaseStore *store, CompiledKey *key);

#endif /* DIALBOOK_SEARCH_WAY_H */
