-- Credit bureau data per customer and period.
CREATE TABLE brz_memzuc (
    muta               VARCHAR,
    donem              VARCHAR,
    idari_kanuni_takip DOUBLE,
    ikt_6ay_ort        DOUBLE
);
