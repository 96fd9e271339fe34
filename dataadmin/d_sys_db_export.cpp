#include "dataadmin/d_sys_db_export.h"

#include "runtime/data/data_store.h"

namespace importlib {

const std::vector<CatalogueTable>& CatalogueTables() {
  static const std::vector<CatalogueTable> tables = {
      {"菜品大类", "cybr_bt_dish_series"},
      {"菜品小类", "cybr_bt_dish_type"},
      {"菜品单位", "cybr_bt_dish_unit"},
      {"菜品资料", "cybr_bt_dish"},
      {"菜品规格资料", "cybr_bt_dish_spec"},
      {"套菜明细设置", "cybr_bt_dish_suit"},
      {"套菜可替换菜品设置", "cybr_bt_suit_change"},
      {"菜品特价设置", "cybr_bt_dish_special"},
      {"菜品买赠设置", "cybr_bt_dish_present"},
      {"菜品优惠券设置", "cybr_bt_dish_favourable"},
      {"折扣方案", "cybr_bt_project"},
      {"折扣方案明细设置", "cybr_bt_project_detail"},
      {"餐桌区域设置", "cybr_bt_table_area"},
      {"餐桌类型设置", "cybr_bt_table_type"},
      {"餐桌资料", "cybr_bt_table"},
      {"市别资料", "cybr_bt_bustype"},
      {"顾客年龄段设置", "cybr_bt_custage"},
      {"操作原因资料", "cybr_bt_reason"},
      {"付款方式表", "cybr_bt_paymode"},
      {"公司信息", "cybr_sys_company"},
      {"行政部门资料", "cybr_sys_dept"},
      {"员工资料", "cybr_sys_emp"},
      {"操作员资料", "cybr_sys_operator"},
      {"员工其他资料", "cybr_sys_emp_other"},
      {"做法类型资料", "cybr_cp_memo_type"},
      {"做法资料", "cybr_cp_memo"},
      {"菜品做法关联资料", "cybr_cp_dish_memo"},
      {"厨打方案资料", "cybr_cp_project"},
      {"区域厨打方案", "cybr_cp_area"},
      {"区域厨打方案明细设置", "cybr_cp_area_detail"},
      {"菜品厨打设置", "cybr_cp_dish_print"},
      {"原料大类", "t_stbr_material_series"},
      {"原料小类", "t_stbr_material_type"},
      {"原料单位", "t_stbr_material_unit"},
      {"原料资料", "t_stbr_material"},
      {"菜品配料", "t_stbr_dish_material"},
      {"半成品配料", "t_stbr_material_half"},
      {"仓库资料", "t_sys_dept"},
      {"供应商类别", "t_st_provider_type"},
      {"供应商资料", "t_st_provider"},
      {"会员类型", "t_m_member_type"},
      {"会员资料", "t_m_member"},
      {"点菜临时记录", "cybr_u_tmp_orderdish"},
      {"点菜做法临时记录", "cybr_u_tmp_orderdish_memo"},
      {"餐桌开台临时记录", "cybr_u_tmp_table"},
      {"开单临时主表", "cybr_u_tmp_master"},
      {"结算临时主表", "cybr_u_tmp_checkout_master"},
      {"结算临时明细表", "cybr_u_tmp_checkout_detail"},
      {"点菜删除表", "cybr_u_orderdish_delete"},
      {"点菜特殊操作记录", "cybr_u_orderdish_log"},
      {"外卖临时记录", "cybr_u_tmp_togo"},
      {"原料出入库流水", "t_st_material_io_flow"},
      {"部门原料库存表", "t_st_material_num"},
      {"盘点单主表", "t_st_pd_master"},
      {"盘点单明细", "t_st_pd_detail"},
      {"原料当前库存价格表", "t_st_material_price"},
      {"原料历史调价日志", "t_st_material_price_log"},
      {"供应商结算", "t_st_provider_balance"},
      {"采购申请主表", "t_st_stock_master"},
      {"采购申请明细", "t_st_stock_detail"},
      {"采购历史调价", "t_st_stock_price"},
      {"库存单据主表", "t_st_voucher_master"},
      {"库存单据明细", "t_st_voucher_detail"},
  };
  return tables;
}

std::vector<hostrt::DataWindowCell> CatalogueCells() {
  using Cell = hostrt::DataWindowCell;
  return {Cell::Computed("行号", "getrow()", 219), Cell::CheckBox("选择", "flag", "1", "0", 219),
          Cell::Column("名称", "name", 650), Cell::Column("备注", "other", 649)};
}

hostrt::Font CatalogueFont() {
  hostrt::Font font;
  font.face = "Arial";
  font.size_pt = 9;
  font.weight = 400;
  return font;
}

int CreateCatalogue(hostrt::DataStore& store) {
  if (store.CreateExternal({{"name", "char(20)"},
                            {"table", "char(30)"},
                            {"flag", "char(1)"},
                            {"other", "char(20)"}}) != 1) {
    return -1;
  }
  for (const CatalogueTable& entry : CatalogueTables()) {
    const long row = store.InsertRow(0);
    if (row < 1) return -1;
    if (store.SetItem(row, "name", std::string(entry.name)) != 1 ||
        store.SetItem(row, "table", std::string(entry.table)) != 1 ||
        store.SetItem(row, "flag", std::string("1")) != 1) {
      return -1;
    }
  }
  return 1;
}

}  // namespace importlib
