#include "ui/goods_screen.h"

#include "ui/person_screen.h"

MasterScreen* make_goods_screen(Session& session, Prompter& prompter) {
    return new MasterScreen(session, prompter, MasterKind::Goods);
}
