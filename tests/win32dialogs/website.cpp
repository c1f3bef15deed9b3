// The program's home page, as the menu commands' module defines it.
extern const char kWebsiteUrl[];
const char kWebsiteUrl[] = "https://quillon.varnek.com/";
