INSERT INTO brz_statik (muta, bolge_kodu, bolge_adi, sube_kodu, sube_adi) VALUES
    -- one firm delivered three times spells it "Merkez", two firms "MERKEZ": firms count, not rows
    ('1', 1, 'Bölge 1', 100, 'Merkez'), ('1', 1, 'Bölge 1', 100, 'Merkez'), ('1', 1, 'Bölge 1', 100, 'Merkez'),
    ('2', 1, 'Bölge 1', 100, 'MERKEZ'), ('3', 1, 'Bölge 1', 100, 'MERKEZ'),
    -- a tie: the first branch name in byte order
    ('4', 2, 'Bölge 2', 200, 'Kadıköy'), ('5', 2, 'Bölge 2', 200, 'Kadikoy'),
    -- a spelling with a branch name beats more firms without one (blank is none)
    ('6', 3, 'Bölge 3', 300, NULL), ('7', 3, 'Bölge 3', 300, '  '), ('8', 3, 'Bölge 3', 300, 'Ulus'),
    -- the same name in two regions, a tie: the lowest region code, then the first region name
    ('9', 5, 'Bölge 5', 400, 'Çarşı'), ('10', 3, 'Bölge 3', 400, 'Çarşı'),
    ('11', 6, 'Bölge 6b', 500, 'Liman'), ('12', 6, 'Bölge 6a', 500, 'Liman'),
    -- a row without a branch code names no branch
    ('13', 7, 'Bölge 7', NULL, 'Yok');
