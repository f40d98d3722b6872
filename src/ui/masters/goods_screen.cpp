#include "ui/masters/goods_screen.h"

#include "ui/masters/person_screen.h"

MasterScreen* make_goods_screen(Session& session, Prompter& prompter) {
    return new MasterScreen(session, prompter, MasterKind::Goods);
}
