#pragma once

class MasterScreen;
class Prompter;
class Session;

// The goods screen goods ("商品"): the employee screen's pattern over the goods table.
MasterScreen* make_goods_screen(Session& session, Prompter& prompter);
