/* Exports the entry points a libcurl has, except curl_easy_perform. */
void curl_global_init(void) {}
void curl_global_cleanup(void) {}
void curl_easy_init(void) {}
void curl_easy_setopt(void) {}
void curl_easy_getinfo(void) {}
void curl_easy_cleanup(void) {}
void curl_slist_append(void) {}
void curl_slist_free_all(void) {}
void curl_share_init(void) {}
void curl_share_setopt(void) {}
void curl_share_cleanup(void) {}
